// The engine module behind the studio: loads the WebAssembly build of the engine and
// wraps its C interface in plain JavaScript values. Every rule about effects (the
// file, the assignments, the simulation, the digest) is the engine's; this only
// moves bytes and text across.

import createStudioModule from './qpstudio.mjs';

// The module, with the particle texture it holds and newSession() for effects of
// their own (each with its settings, history, time, random sequence and view).
export async function openEngine() {
    const m = await createStudioModule();
    const fn = (name, result, args) => m.cwrap(name, result, args);
    // Functions of one session take it first.
    const own = (name, result, args = []) => fn(name, result, ['number', ...args]);
    const c = {
        sessionNew: fn('qp_session_new', 'number', []),
        sessionDelete: own('qp_session_delete', null),
        load: own('qp_load', 'number', ['number', 'number']),
        encode: own('qp_encode', 'number'),
        encoded: fn('qp_encoded', 'number', []),
        set: own('qp_set', 'number', ['string']),
        setTyped: own('qp_set_typed', 'number', ['string', 'string']),
        effectText: own('qp_effect_text', 'string'),
        applyText: own('qp_apply_text', 'number', ['string']),
        diff: fn('qp_diff', 'string', ['number', 'number']),
        fields: fn('qp_fields', 'string', []),
        presets: fn('qp_presets', 'string', []),
        usePreset: own('qp_use_preset', 'number', ['string']),
        settings: own('qp_settings', 'string'),
        text: fn('qp_text', 'string', []),
        undo: own('qp_undo', 'number'),
        redo: own('qp_redo', 'number'),
        canUndo: own('qp_can_undo', 'number'),
        canRedo: own('qp_can_redo', 'number'),
        setSeed: own('qp_set_seed', null, ['number']),
        seed: own('qp_seed', 'number'),
        restart: own('qp_restart', null),
        step: own('qp_step', null, ['number']),
        seek: own('qp_seek', null, ['number']),
        state: own('qp_state', 'string'),
        elapsed: own('qp_elapsed', 'number'),
        particles: own('qp_particles', 'number'),
        poolBytes: own('qp_pool_bytes', 'number'),
        billboards: own('qp_billboards', 'number'),
        billboardVertices: own('qp_billboard_vertices', 'number'),
        billboardSystems: own('qp_billboard_systems', 'number'),
        billboardFirst: own('qp_billboard_first', 'number', ['number']),
        billboardCount: own('qp_billboard_count', 'number', ['number']),
        view: own('qp_view', 'number'),
        setTurn: own('qp_set_turn', null, ['number', 'number', 'number']),
        straighten: own('qp_straighten', null),
        turnByHand: own('qp_turn_by_hand', null, ['number', 'number']),
        textureDefault: fn('qp_texture_default', 'number', []),
        textureLoad: fn('qp_texture_load', 'number', ['number', 'number']),
        textureFromPixels: fn('qp_texture_from_pixels', 'number', ['number', 'number', 'number', 'number']),
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

    function newSession() {
        const s = c.sessionNew();
        return {
            // Reads an effect file's bytes; {ok, problems}. A refused file changes nothing.
            load(bytes) {
                const result = withBytes(bytes, (at, count) => c.load(s, at, count));
                return {ok: result === 0, problems: c.text()};
            },
            // The bytes the editor's Save writes for these settings.
            bytes() {
                const count = c.encode(s);
                const at = c.encoded();
                return Array.from(m.HEAPU8.subarray(at, at + count));
            },
            handle: s,
            // One `name=value` assignment; '' when applied, else why not.
            set: (assignment) => (c.set(s, assignment) ? '' : c.text()),
            // A number typed for `name`, kept as the editor's value entry keeps it; '' when
            // applied, else why not.
            setTyped: (name, text) => (c.setTyped(s, name, text) ? '' : c.text()),
            // The settings as `qptool dump` prints them.
            text: () => c.effectText(s),
            // Effect text read as `qptool new --from` reads it; '' when applied, else
            // "text:LINE: problem".
            applyText: (text) => (c.applyText(s, text) ? '' : c.text()),
            // A ready-made look by name, as `qptool new --preset` makes it; '' or why not.
            usePreset: (name) => (c.usePreset(s, name) ? '' : c.text()),
            // The fields that differ from `other`'s, as `qptool diff` lists them.
            diff: (other) => c.diff(s, other.handle).split('\n').filter((line) => line),
            settings: () => JSON.parse(c.settings(s)),
            undo: () => c.undo(s) === 1,
            redo: () => c.redo(s) === 1,
            canUndo: () => c.canUndo(s) === 1,
            canRedo: () => c.canRedo(s) === 1,
            setSeed: (seed) => c.setSeed(s, seed >>> 0),
            seed: () => c.seed(s) >>> 0,
            restart: () => c.restart(s),
            step: (frames) => c.step(s, frames),
            seek: (ms) => c.seek(s, ms),
            state: () => c.state(s),
            elapsed: () => c.elapsed(s),
            particles: () => c.particles(s),
            poolBytes: () => c.poolBytes(s),
            // The billboards of the live particles for the current view, built by the
            // engine: {vertices (a view of the module's memory, valid until the next call
            // into it), systems: [{first, count}], view: 16 floats}.
            billboards() {
                const count = c.billboards(s);
                const at = c.billboardVertices(s) / 4;
                const systems = [];
                for (let i = 0; i < c.billboardSystems(s); ++i)
                    systems.push({first: c.billboardFirst(s, i), count: c.billboardCount(s, i)});
                const view = c.view(s) / 4;
                return {vertices: m.HEAPF32.subarray(at, at + count * 9), systems,
                        view: m.HEAPF32.slice(view, view + 16)};
            },
            setTurn: (x, y, z) => c.setTurn(s, x, y, z),
            straighten: () => c.straighten(s),
            turnByHand: (across, down) => c.turnByHand(s, across, down),
            // The session's memory goes back to the module; the object is then unusable.
            close: () => c.sessionDelete(s),
        };
    }

    return {
        newSession,
        // The effect's fields, from the engine's one table: [{name, kind, letters,
        // coneOnly, low, high (null: no bound), nonZero}].
        fields: () => JSON.parse(c.fields()),
        // The ready-made looks: [{name, description}].
        presets: () => JSON.parse(c.presets()),
        // The particle texture: the built-in spot, or a QTEX file's bytes (false, and
        // the texture stays, when the engine's loader would refuse them).
        useDefaultTexture: () => c.textureDefault() === 1,
        loadTexture: (bytes) => withBytes(bytes, c.textureLoad) === 1,
        // A decoded picture (ImageData) as the texture, made as qtex makes one from a
        // PNG: RGBA when any pixel is less than opaque, else RGB.
        textureFromImage(image) {
            let opaque = true;
            for (let i = 3; i < image.data.length && opaque; i += 4) opaque = image.data[i] === 255;
            return withBytes(image.data, (at) => c.textureFromPixels(at, image.width, image.height,
                                                                    opaque ? 3 : 4)) === 1;
        },
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
