// The engine module behind the studio: loads the WebAssembly build of the engine and
// wraps its C interface in plain JavaScript values. Every rule about effects (the
// file, the assignments, the simulation, the digest) is the engine's; this only
// moves bytes and text across.

import createStudioModule from './qpstudio.mjs';

export async function openEngine() {
    const m = await createStudioModule();
    const fn = (name, result, args) => m.cwrap(name, result, args);
    const c = {
        load: fn('qp_load', 'number', ['number', 'number']),
        encode: fn('qp_encode', 'number', []),
        encoded: fn('qp_encoded', 'number', []),
        set: fn('qp_set', 'number', ['string']),
        settings: fn('qp_settings', 'string', []),
        text: fn('qp_text', 'string', []),
        undo: fn('qp_undo', 'number', []),
        redo: fn('qp_redo', 'number', []),
        canUndo: fn('qp_can_undo', 'number', []),
        canRedo: fn('qp_can_redo', 'number', []),
        setSeed: fn('qp_set_seed', null, ['number']),
        seed: fn('qp_seed', 'number', []),
        restart: fn('qp_restart', null, []),
        step: fn('qp_step', null, ['number']),
        seek: fn('qp_seek', null, ['number']),
        state: fn('qp_state', 'string', []),
        elapsed: fn('qp_elapsed', 'number', []),
        particles: fn('qp_particles', 'number', []),
        poolBytes: fn('qp_pool_bytes', 'number', []),
        billboards: fn('qp_billboards', 'number', []),
        billboardVertices: fn('qp_billboard_vertices', 'number', []),
        billboardSystems: fn('qp_billboard_systems', 'number', []),
        billboardFirst: fn('qp_billboard_first', 'number', ['number']),
        billboardCount: fn('qp_billboard_count', 'number', ['number']),
        view: fn('qp_view', 'number', []),
        setTurn: fn('qp_set_turn', null, ['number', 'number', 'number']),
        straighten: fn('qp_straighten', null, []),
        turnByHand: fn('qp_turn_by_hand', null, ['number', 'number']),
        textureDefault: fn('qp_texture_default', 'number', []),
        textureLoad: fn('qp_texture_load', 'number', ['number', 'number']),
        textureComponents: fn('qp_texture_components', 'number', []),
        textureLevels: fn('qp_texture_levels', 'number', []),
        textureWidth: fn('qp_texture_width', 'number', ['number']),
        textureHeight: fn('qp_texture_height', 'number', ['number']),
        texturePixels: fn('qp_texture_pixels', 'number', ['number']),
    };
    // Copies `bytes` into the module's memory for the length of `use`.
    const withBytes = (bytes, use) => {
        const data = Uint8Array.from(bytes);
        const at = m._malloc(Math.max(1, data.length));
        m.HEAPU8.set(data, at);
        try {
            return use(at, data.length);
        } finally {
            m._free(at);
        }
    };
    return {
        // Reads an effect file's bytes; {ok, problems}. A refused file changes nothing.
        load(bytes) {
            const result = withBytes(bytes, c.load);
            return {ok: result === 0, problems: c.text()};
        },
        // The bytes the editor's Save writes for these settings.
        bytes() {
            const count = c.encode();
            const at = c.encoded();
            return Array.from(m.HEAPU8.subarray(at, at + count));
        },
        // One `name=value` assignment; '' when applied, else why not.
        set(assignment) {
            return c.set(assignment) ? '' : c.text();
        },
        settings: () => JSON.parse(c.settings()),
        undo: () => c.undo() === 1,
        redo: () => c.redo() === 1,
        canUndo: () => c.canUndo() === 1,
        canRedo: () => c.canRedo() === 1,
        setSeed: (seed) => c.setSeed(seed >>> 0),
        seed: () => c.seed() >>> 0,
        restart: () => c.restart(),
        step: (frames) => c.step(frames),
        seek: (ms) => c.seek(ms),
        state: () => c.state(),
        elapsed: () => c.elapsed(),
        particles: () => c.particles(),
        poolBytes: () => c.poolBytes(),
        // The billboards of the live particles for the current view, built by the engine:
        // {vertices (a view of the module's memory, valid until the next call into it),
        // systems: [{first, count}], view: 16 floats}.
        billboards() {
            const count = c.billboards();
            const at = c.billboardVertices() / 4;
            const systems = [];
            for (let i = 0; i < c.billboardSystems(); ++i)
                systems.push({first: c.billboardFirst(i), count: c.billboardCount(i)});
            const view = c.view() / 4;
            return {vertices: m.HEAPF32.subarray(at, at + count * 9), systems,
                    view: m.HEAPF32.slice(view, view + 16)};
        },
        setTurn: (x, y, z) => c.setTurn(x, y, z),
        straighten: () => c.straighten(),
        turnByHand: (across, down) => c.turnByHand(across, down),
        // The particle texture: the built-in spot, or a QTEX file's bytes (false, and
        // the texture stays, when the engine's loader would refuse them).
        useDefaultTexture: () => c.textureDefault() === 1,
        loadTexture: (bytes) => withBytes(bytes, c.textureLoad) === 1,
        // The texture's levels, largest first, as copies for the preview to upload.
        texture() {
            const levels = [];
            const components = c.textureComponents();
            for (let i = 0; i < c.textureLevels(); ++i) {
                const width = c.textureWidth(i), height = c.textureHeight(i), at = c.texturePixels(i);
                levels.push({width, height, pixels: m.HEAPU8.slice(at, at + width * height * components)});
            }
            return {components, levels};
        },
    };
}

// base64url without padding, as links carry effect bytes.
export function toBase64Url(bytes) {
    let binary = '';
    for (const b of bytes) binary += String.fromCharCode(b);
    return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

// The bytes of a base64url text, or null when it isn't one.
export function fromBase64Url(text) {
    if (!/^[A-Za-z0-9_-]*$/.test(text)) return null;
    try {
        const binary = atob(text.replace(/-/g, '+').replace(/_/g, '/'));
        return Array.from(binary, (ch) => ch.charCodeAt(0));
    } catch (e) {
        return null;
    }
}
