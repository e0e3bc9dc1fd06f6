// The preview's few WebGL 1 calls: the editor's perspective projection and camera,
// the particle texture with its mipmaps, additive blending, and one triangle strip
// per particle system straight from the billboard vertices the engine builds
// (x y z, s t, r g b a: 36 bytes each). Nothing about particles is computed here.

const VERTEX_SHADER = `
attribute vec3 position;
attribute vec2 st;
attribute vec4 color;
uniform mat4 projection;
uniform mat4 modelview;
varying vec2 vSt;
varying vec4 vColor;
void main() {
    vSt = st;
    // The fixed-function pipeline clamps a current colour to 0..1; so does this.
    vColor = clamp(color, 0.0, 1.0);
    gl_Position = projection * modelview * vec4(position, 1.0);
}`;

const FRAGMENT_SHADER = `
precision mediump float;
uniform sampler2D particle;
varying vec2 vSt;
varying vec4 vColor;
void main() {
    gl_FragColor = texture2D(particle, vSt) * vColor;  // modulated, as the editor textures
}`;

const VERTEX_BYTES = 36;

// glFrustum(-0.2, 0.2, -0.2, 0.2, 0.5, 15), column-major: the editor's projection.
function editorFrustum() {
    const [l, r, b, t, n, f] = [-0.2, 0.2, -0.2, 0.2, 0.5, 15];
    return new Float32Array([
        2 * n / (r - l), 0, 0, 0,
        0, 2 * n / (t - b), 0, 0,
        (r + l) / (r - l), (t + b) / (t - b), -(f + n) / (f - n), -1,
        0, 0, -2 * f * n / (f - n), 0,
    ]);
}

function compile(gl, type, source) {
    const shader = gl.createShader(type);
    gl.shaderSource(shader, source);
    gl.compileShader(shader);
    if (!gl.getShaderParameter(shader, gl.COMPILE_STATUS)) throw new Error(gl.getShaderInfoLog(shader));
    return shader;
}

// A preview on `canvas`, or null when the browser gives no WebGL.
export function createPreview(canvas) {
    const gl = canvas.getContext('webgl', {alpha: false, antialias: false, depth: false,
                                          preserveDrawingBuffer: true});
    if (!gl) return null;
    const program = gl.createProgram();
    gl.attachShader(program, compile(gl, gl.VERTEX_SHADER, VERTEX_SHADER));
    gl.attachShader(program, compile(gl, gl.FRAGMENT_SHADER, FRAGMENT_SHADER));
    gl.linkProgram(program);
    if (!gl.getProgramParameter(program, gl.LINK_STATUS)) throw new Error(gl.getProgramInfoLog(program));
    gl.useProgram(program);
    const where = {
        position: gl.getAttribLocation(program, 'position'),
        st: gl.getAttribLocation(program, 'st'),
        color: gl.getAttribLocation(program, 'color'),
        projection: gl.getUniformLocation(program, 'projection'),
        modelview: gl.getUniformLocation(program, 'modelview'),
        particle: gl.getUniformLocation(program, 'particle'),
    };
    const buffer = gl.createBuffer();
    gl.bindBuffer(gl.ARRAY_BUFFER, buffer);
    gl.enableVertexAttribArray(where.position);
    gl.enableVertexAttribArray(where.st);
    gl.enableVertexAttribArray(where.color);
    gl.vertexAttribPointer(where.position, 3, gl.FLOAT, false, VERTEX_BYTES, 0);
    gl.vertexAttribPointer(where.st, 2, gl.FLOAT, false, VERTEX_BYTES, 12);
    gl.vertexAttribPointer(where.color, 4, gl.FLOAT, false, VERTEX_BYTES, 20);
    gl.uniformMatrix4fv(where.projection, false, editorFrustum());
    gl.uniform1i(where.particle, 0);
    gl.enable(gl.BLEND);
    gl.blendFunc(gl.SRC_ALPHA, gl.ONE);  // additive: overlapping particles brighten
    const texture = gl.createTexture();

    return {
        // Uploads every level as stored (rows tightly packed, bottom first), trilinear
        // filtering as the editor's texture loader sets it. WebGL 1 mipmaps only sides
        // that are powers of two; any other texture is drawn from its first level,
        // filtered linearly and clamped at its edges.
        setTexture(components, levels) {
            gl.bindTexture(gl.TEXTURE_2D, texture);
            gl.pixelStorei(gl.UNPACK_ALIGNMENT, 1);
            const format = components === 4 ? gl.RGBA : gl.RGB;
            const powerOfTwo = (n) => (n & (n - 1)) === 0;
            const mipmapped = powerOfTwo(levels[0].width) && powerOfTwo(levels[0].height);
            (mipmapped ? levels : levels.slice(0, 1)).forEach((level, i) => gl.texImage2D(
                gl.TEXTURE_2D, i, format, level.width, level.height, 0, format, gl.UNSIGNED_BYTE, level.pixels));
            gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MAG_FILTER, gl.LINEAR);
            gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MIN_FILTER, mipmapped ? gl.LINEAR_MIPMAP_LINEAR : gl.LINEAR);
            const wrap = mipmapped ? gl.REPEAT : gl.CLAMP_TO_EDGE;
            gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_S, wrap);
            gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_T, wrap);
        },
        // Clears to `background` (r, g, b in 0..1) and draws `systems` ({first, count}
        // vertex ranges of `vertices`) with the effect `distance` in front of the eye,
        // turned by `view` (16 floats, column-major). `area` ([x, y, width, height] from
        // the bottom left) confines the picture to part of the canvas; without it the
        // picture fills the canvas.
        draw(vertices, systems, view, distance, background, area) {
            const [x, y, width, height] = area || [0, 0, canvas.width, canvas.height];
            gl.viewport(x, y, width, height);
            gl.enable(gl.SCISSOR_TEST);
            gl.scissor(x, y, width, height);
            gl.clearColor(background[0], background[1], background[2], 1);
            gl.clear(gl.COLOR_BUFFER_BIT);
            gl.disable(gl.SCISSOR_TEST);
            if (!systems.length || !view) return;
            const modelview = Float32Array.from(view);
            // translate(0, 0, -distance) x view: the turn happens about the effect's origin.
            modelview[14] -= distance;
            gl.uniformMatrix4fv(where.modelview, false, modelview);
            gl.bufferData(gl.ARRAY_BUFFER, vertices, gl.DYNAMIC_DRAW);
            gl.bindTexture(gl.TEXTURE_2D, texture);
            for (const system of systems) gl.drawArrays(gl.TRIANGLE_STRIP, system.first, system.count);
        },
    };
}
