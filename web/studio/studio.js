// The studio page: every setting of one effect as a control named after its field,
// time in the engine's 16 ms frames (play, step, scrub), the numbers the engine
// reports, undo and redo, files and links. The engine module does all effect work;
// window.qpStudio is the same page driven by scripts and tests.

import {openEngine, toBase64Url, fromBase64Url} from './engine.js';
import {createControls, element} from './controls.js';
import {connectDisk} from './disk.js';
import {createGallery} from './gallery.js';
import {createPreview} from './preview.js';

const FRAME_MS = 16;       // one engine frame, as qprender steps by default
const LONGEST_MS = 60000;  // the end of the timeline
const MOST_FRAMES_PER_PAINT = 8;  // playback drops time rather than fall further behind


const $ = (id) => document.getElementById(id);
const view = {playing: false, speed: 1, carried: 0, lastPaint: 0, peak: 0, frameMs: 0, savedBytes: null,
              fileName: 'Out.QP', distance: 1, background: [0, 0, 0], drawn: 0};

const studioModule = await openEngine();
const engine = studioModule.newSession();  // the effect being edited

// The text view shows the settings as `qptool dump` prints them, unless it is being
// edited; with an effect kept as B, the fields that differ from it.
function showText() {
    const area = $('effectText');
    if (document.activeElement !== area) area.value = engine.text();
    $('differences').hidden = !kept;
    if (kept) $('diffList').textContent = kept.diff(engine).join('\n') || 'nothing';
}

// Every control shows what the engine holds; undo and redo say whether they can.
function showSettings() {
    controls.show(engine.settings());
    $('undo').disabled = !engine.canUndo();
    $('redo').disabled = !engine.canRedo();
    showText();
}

function applyText(text) {
    const error = engine.applyText(text);
    message(error);
    if (!error) $('effectText').blur();
    changed();
    return error;
}

function usePreset(name) {
    const error = engine.usePreset(name);
    message(error);
    changed();
    return error;
}

// A picture file (PNG) as the particle texture; false when it can't be decoded.
async function usePicture(blob) {
    try {
        const bitmap = await createImageBitmap(blob, {colorSpaceConversion: 'none', premultiplyAlpha: 'none'});
        const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
        const context = canvas.getContext('2d');
        context.drawImage(bitmap, 0, 0);
        const taken = studioModule.textureFromImage(context.getImageData(0, 0, bitmap.width, bitmap.height));
        if (taken) showTexture();
        message(taken ? '' : 'that picture can\'t be a texture');
        return taken;
    } catch (e) {
        message('that picture can\'t be read');
        return false;
    }
}

function message(text) {
    $('message').textContent = text;
}

function bytesEqual(a, b) {
    return a !== null && b !== null && a.length === b.length && a.every((v, i) => v === b[i]);
}

function showModified() {
    const modified = !bytesEqual(engine.bytes(), view.savedBytes);
    $('modified').hidden = !modified;
    document.title = (modified ? '* ' : '') + 'qpedit studio';
    return modified;
}

// After any change of the settings: controls, marker, and (when paused) the time
// shown again from the start with the new settings, as qprender would show it.
function changed() {
    showSettings();
    showModified();
    view.peak = 0;
    if (!view.playing) engine.seek(engine.elapsed());
    showTime();
}

function apply(assignment) {
    const error = engine.set(assignment);
    message(error);
    changed();
    return error;
}

function applyTyped(name, text) {
    const error = engine.setTyped(name, text);
    message(error);
    changed();
    return error;
}

function formatBytes(bytes) {
    if (bytes < 1024) return `${bytes} B`;
    if (bytes < 1024 * 1024) return `${(bytes / 1024).toFixed(1)} KiB`;
    return `${(bytes / 1024 / 1024).toFixed(2)} MiB`;
}

function showTime() {
    const particles = engine.particles();
    view.peak = Math.max(view.peak, particles);
    const elapsed = engine.elapsed();
    $('time').textContent = `${elapsed} ms`;
    $('timeline').value = elapsed;
    $('particles').textContent = particles.toLocaleString('en');
    $('peak').textContent = view.peak.toLocaleString('en');
    $('pool').textContent = formatBytes(engine.poolBytes());
    $('frameTime').textContent = view.frameMs ? `${view.frameMs.toFixed(3)} ms` : '-';
    if (!batch) $('state').textContent = engine.state();
    view.redraw = true;
}

function setPlaying(playing) {
    view.playing = playing && engine.elapsed() < LONGEST_MS;
    view.carried = 0;
    $('play').textContent = view.playing ? 'Pause' : 'Play';
}

function seek(ms) {
    setPlaying(false);
    const clock = performance.now();
    engine.seek(Math.min(LONGEST_MS, Math.max(0, Math.floor(ms))));
    const frames = Math.ceil(engine.elapsed() / FRAME_MS);
    if (frames) view.frameMs = (performance.now() - clock) / frames;
    showTime();
    return engine.state();
}

// Live playback: whole frames as wall time (times the speed) accumulates.
function paint(now) {
    if (view.playing) {
        view.carried += (now - (view.lastPaint || now)) * view.speed;
        let frames = Math.floor(view.carried / FRAME_MS);
        view.carried -= frames * FRAME_MS;
        frames = Math.min(frames, MOST_FRAMES_PER_PAINT, Math.ceil((LONGEST_MS - engine.elapsed()) / FRAME_MS));
        if (frames > 0) {
            const clock = performance.now();
            engine.step(frames);
            view.frameMs = (performance.now() - clock) / frames;
        }
        if (engine.elapsed() >= LONGEST_MS) setPlaying(false);
        showTime();
    }
    view.lastPaint = now;
    if (view.playing || view.redraw) drawPreview();
    gallery.paint(now);
    requestAnimationFrame(paint);
}

const preview = createPreview($('preview'));
// Clicking a gallery picture opens its effect here.
const gallery = createGallery(studioModule, $('gallery'), (entry) => {
    load(entry.bytes, entry.name);
    window.scrollTo(0, 0);
});

// The drawing buffer follows the canvas's size on screen (at the camera's 4:3), in
// device pixels, unless a fixed size was asked for.
const follow = new ResizeObserver(([entry]) => {
    const canvas = $('preview');
    if (canvas.classList.contains('fixed')) return;
    const box = entry.devicePixelContentBoxSize?.[0];
    const width = Math.max(1, Math.round(box ? box.inlineSize : entry.contentRect.width * devicePixelRatio));
    const height = Math.max(1, Math.round(width * 3 / 4));
    if (canvas.width !== width || canvas.height !== height) {
        canvas.width = width;
        canvas.height = height;
        view.redraw = true;
    }
});
follow.observe($('preview'));
function showTexture() {
    const texture = studioModule.texture();
    preview?.setTexture(texture.components, texture.levels);
    gallery.setTexture(texture.components, texture.levels);
    view.redraw = true;
}

// Comparing: the effect kept as B runs beside the one being edited, at the same
// time and seed, each in half of the preview.
let kept = null;

function keepAsB() {
    kept?.close();
    kept = studioModule.newSession();
    kept.load(engine.bytes());
    $('dropB').hidden = false;
    showText();
    view.redraw = true;
}

function stopComparing() {
    kept?.close();
    kept = null;
    $('dropB').hidden = true;
    showText();
    view.redraw = true;
}

function drawPreview() {
    view.redraw = false;
    if (!preview) return;
    ++view.drawn;
    if (!kept) {
        const frame = engine.billboards();
        preview.draw(frame.vertices, frame.systems, frame.view, view.distance, view.background);
    } else {
        const canvas = $('preview');
        const half = Math.floor(canvas.width / 2), height = Math.round(half * 3 / 4);
        const bottom = Math.floor((canvas.height - height) / 2);
        if (kept.seed() !== engine.seed()) kept.setSeed(engine.seed());
        kept.seek(engine.elapsed());
        preview.draw(new Float32Array(0), [], null, view.distance, view.background);
        for (const [session, left] of [[engine, 0], [kept, half]]) {
            const frame = session.billboards();
            preview.draw(frame.vertices, frame.systems, frame.view, view.distance, view.background,
                         [left, bottom, half, height]);
        }
    }
    if (window.qpStudio.firstFrameMs === null) window.qpStudio.firstFrameMs = performance.now();
}

function load(bytes, name) {
    const result = engine.load(bytes);
    if (!result.ok) {
        message(`${name}: ${result.problems.trim() || 'not an effect file'}; nothing changed`);
        return result;
    }
    view.savedBytes = engine.bytes();
    view.fileName = name;
    message(result.problems.trim() ? `${name}: ${result.problems.trim()}` : '');
    changed();
    return result;
}

// Save: with the file on disk (qpedit-web), the bytes go to it and the page shows
// what happened to it; otherwise they are downloaded.
async function save() {
    const bytes = new Uint8Array(engine.bytes());
    if (disk) {
        const result = await disk.write(bytes);
        message(result.text);
        if (result.ok) {
            view.savedBytes = Array.from(bytes);
            decideDiskChange();
        }
        showModified();
        return result;
    }
    const url = URL.createObjectURL(new Blob([bytes], {type: 'application/octet-stream'}));
    const a = element('a', {href: url, download: view.fileName});
    a.click();
    URL.revokeObjectURL(url);
    view.savedBytes = Array.from(bytes);
    showModified();
    return {ok: true, text: ''};
}

// The file on disk as the effect. At start a missing file is one Save will create;
// later, one removed from disk leaves the page's settings to be saved again.
async function readDisk(atStart) {
    const bytes = await disk.read();
    view.fileName = disk.name;
    if (bytes === null) {
        view.savedBytes = atStart ? engine.bytes() : null;
        message(`${disk.name} doesn't exist ${atStart ? 'yet' : 'any more'}; Save will create it`);
    } else if (bytes.problem) {
        message(bytes.problem);
    } else {
        load(bytes, disk.name);
    }
    showModified();
}

// A change to the file by anything else: taken at once, unless the page holds
// unsaved changes; then the page asks and waits for the answer (or a Save).
let decideDiskChange = () => {};
function diskChanged() {
    if (!showModified()) return readDisk(false);
    $('diskChangeText').textContent = `${disk.name} changed on disk, and this page has unsaved changes.`;
    $('diskChange').hidden = false;
    return new Promise((decided) => {
        decideDiskChange = async (take) => {
            decideDiskChange = () => {};
            $('diskChange').hidden = true;
            if (take) await readDisk(false);
            else if (take === false) disk.ignoreChange(await disk.currentStamp());
            decided();
        };
    });
}

function link() {
    const address = new URL(location.href);
    address.search = '';
    let fragment = `fx=${toBase64Url(engine.bytes())}`;
    if (engine.seed() !== 1) fragment += `&seed=${engine.seed()}`;
    if (engine.elapsed() !== 0) fragment += `&t=${engine.elapsed()}`;
    address.hash = fragment;
    return address.href;
}

function undo() {
    const done = engine.undo();
    if (done) changed();
    return done;
}

function redo() {
    const done = engine.redo();
    if (done) changed();
    return done;
}

// The effect, seed and time a link carries; false when its effect can't be used.
function openFragment(fragment) {
    const values = new URLSearchParams(fragment.replace(/^#/, ''));
    if (values.has('seed')) {
        const seed = Number(values.get('seed'));
        if (Number.isInteger(seed) && seed >= 0 && seed <= 0xffffffff) engine.setSeed(seed);
    }
    if (values.has('fx')) {
        const bytes = fromBase64Url(values.get('fx'));
        if (bytes === null) {
            message('the link\'s effect is not base64url text; nothing changed');
            return false;
        }
        if (!load(bytes, 'Out.QP').ok) return false;
    }
    view.savedBytes = engine.bytes();
    engine.restart();
    if (values.has('t')) seek(Number(values.get('t')) || 0);
    return true;
}

// index.html?state&frames=K&seed=N#fx=...: the lines `qprender --state --frames K
// --seed N` prints for that effect, in <pre id="state">, with no interaction.
function runBatch(search) {
    const frames = Math.max(0, Math.floor(Number(search.get('frames') ?? 1)) || 0);
    const out = $('state');
    const seed = Number(search.get('seed') ?? 1);
    if (!(Number.isInteger(seed) && seed >= 0 && seed <= 0xffffffff)) {
        message(`bad seed '${search.get('seed')}': expected 0 to 4294967295`);
        out.textContent = `error: ${$('message').textContent}\n`;
    } else if (!openFragment(location.hash)) {
        out.textContent = `error: ${$('message').textContent}\n`;
    } else {
        engine.setSeed(seed);
        const lines = [];
        for (let k = 0; k < frames; ++k) {
            engine.step(1);
            lines.push(engine.state());
        }
        out.textContent = lines.length ? lines.join('\n') + '\n' : '';
    }
    out.dataset.done = 'true';
}

function wire() {
    $('play').addEventListener('click', () => setPlaying(!view.playing));
    $('step').addEventListener('click', () => { setPlaying(false); engine.step(1); showTime(); });
    $('restart').addEventListener('click', () => seek(0));
    $('timeline').addEventListener('input', (e) => seek(Number(e.target.value)));
    $('speed').addEventListener('change', (e) => { view.speed = Number(e.target.value); });
    $('seed').addEventListener('change', (e) => {
        const seed = Math.floor(Number(e.target.value));
        if (Number.isInteger(seed) && seed >= 0 && seed <= 0xffffffff) {
            const at = engine.elapsed();
            engine.setSeed(seed);
            seek(at);
        }
        e.target.value = engine.seed();
    });
    $('undo').addEventListener('click', undo);
    $('redo').addEventListener('click', redo);
    $('save').addEventListener('click', save);
    $('takeDisk').addEventListener('click', () => decideDiskChange(true));
    $('keepMine').addEventListener('click', () => decideDiskChange(false));
    $('link').addEventListener('click', () => {
        const address = link();
        navigator.clipboard?.writeText(address).then(() => message('link copied'), () => message(address));
    });
    $('open').addEventListener('change', async (e) => {
        const file = e.target.files[0];
        if (file) load(new Uint8Array(await file.arrayBuffer()), file.name);
        e.target.value = '';
    });
    // The View menu's zoom: distance 1 to 10 in steps of 0.1.
    const setDistance = (distance) => {
        view.distance = Math.min(10, Math.max(1, Math.round(distance * 10) / 10)) || 1;
        $('distance').value = view.distance;
        view.redraw = true;
    };
    $('preview').addEventListener('wheel', (e) => {
        e.preventDefault();
        setDistance(view.distance + (e.deltaY > 0 ? 0.1 : -0.1));
    }, {passive: false});
    $('distance').addEventListener('change', (e) => setDistance(Number(e.target.value)));
    const turnInputs = ['turnX', 'turnY', 'turnZ'].map($);
    for (const input of turnInputs) {
        input.addEventListener('change', () => {
            const speeds = turnInputs.map((i) => Number(i.value) || 0);
            turnInputs.forEach((i, k) => { i.value = speeds[k]; });
            engine.setTurn(...speeds);
        });
    }
    $('straighten').addEventListener('click', () => {
        engine.straighten();
        turnInputs.forEach((i) => { i.value = 0; });
        view.redraw = true;
    });
    $('background').addEventListener('input', (e) => {
        view.background = [1, 3, 5].map((at) => parseInt(e.target.value.slice(at, at + 2), 16) / 255);
        view.redraw = true;
    });
    // Dragging turns the view: half a degree per pixel.
    let dragFrom = null;
    $('preview').addEventListener('pointerdown', (e) => {
        dragFrom = [e.clientX, e.clientY];
        e.target.setPointerCapture(e.pointerId);
    });
    $('preview').addEventListener('pointermove', (e) => {
        if (!dragFrom) return;
        engine.turnByHand((e.clientX - dragFrom[0]) * 0.5, (e.clientY - dragFrom[1]) * 0.5);
        dragFrom = [e.clientX, e.clientY];
        view.redraw = true;
    });
    $('preview').addEventListener('pointerup', () => { dragFrom = null; });
    const openGallery = async (files) => {
        const effects = [...files].filter((f) => /\.qp$/i.test(f.name));
        gallery.open(await Promise.all(effects.map(async (f) => ({
            name: f.webkitRelativePath || f.name, bytes: new Uint8Array(await f.arrayBuffer())}))));
    };
    for (const id of ['openMany', 'openFolder']) {
        $(id).addEventListener('change', async (e) => {
            await openGallery(e.target.files);
            e.target.value = '';
        });
    }
    $('closeGallery').addEventListener('click', () => gallery.close());
    $('keepB').addEventListener('click', keepAsB);
    $('applyText').addEventListener('click', () => applyText($('effectText').value));
    for (const preset of studioModule.presets())
        $('preset').append(element('option', {value: preset.name, title: preset.description}, preset.name));
    $('preset').addEventListener('change', (e) => {
        if (e.target.value) usePreset(e.target.value);
        e.target.value = '';
    });
    $('dropB').addEventListener('click', stopComparing);
    document.addEventListener('dragover', (e) => e.preventDefault());
    document.addEventListener('drop', async (e) => {
        e.preventDefault();
        const files = e.dataTransfer.files;
        if (files.length === 1 && /\.png$/i.test(files[0].name)) await usePicture(files[0]);
        else if (files.length > 1) await openGallery(files);
        else if (files.length) load(new Uint8Array(await files[0].arrayBuffer()), files[0].name);
    });
    document.addEventListener('keydown', (e) => {
        const typing = e.target.matches('input[type=number], input[type=text], select');
        if (e.key === ' ' && !typing && !e.ctrlKey) {
            e.preventDefault();
            setPlaying(!view.playing);
        } else if (e.ctrlKey && (e.key === 'z' || e.key === 'Z') && !typing) {
            e.preventDefault();
            if (e.shiftKey) redo(); else undo();
        } else if (e.ctrlKey && e.key === 'y' && !typing) {
            e.preventDefault();
            redo();
        }
    });
    // Another effect's link opened in this tab changes only the fragment: start over
    // on it, as a fresh page would (the leave warning still guards unsaved changes).
    window.addEventListener('hashchange', () => location.reload());
    window.addEventListener('beforeunload', (e) => {
        if (showModified()) {
            e.preventDefault();
            e.returnValue = '';
        }
    });
}

window.qpStudio = {
    firstFrameMs: null,  // milliseconds from navigation to the first drawn frame
    module: studioModule,  // the engine module itself, for sessions of other effects
    // Comparing with the effect as it was: keep() it as B, drop() B; B's state() at
    // the time shown (null when nothing is kept).
    compare: {
        keep: keepAsB,
        drop: stopComparing,
        // The fields that differ from B, as `qptool diff B A` lists them.
        diff: () => (kept ? kept.diff(engine) : []),
        state() {
            if (!kept) return null;
            drawPreview();
            return kept.state();
        },
    },
    // The gallery: open([{name, bytes}]), seek(ms), play(), entries(), pick(index), close().
    gallery,
    load: (bytes) => load(bytes, 'Out.QP'),
    bytes: () => engine.bytes(),
    settings: () => engine.settings(),
    // The settings as `qptool dump` prints them; text applied as `qptool new --from`
    // reads it ({ok, error}); the presets and one of them by name.
    text: () => engine.text(),
    applyText: (text) => {
        const error = applyText(text);
        return {ok: error === '', error};
    },
    presets: () => studioModule.presets(),
    usePreset: (name) => {
        const error = usePreset(name);
        return {ok: error === '', error};
    },
    set: (assignment) => {
        const error = apply(assignment);
        return {ok: error === '', error};
    },
    undo,
    redo,
    seek,
    state: () => engine.state(),
    link,
    // A fixed preview size in pixels (as qprender --size), no longer following the
    // window; no arguments: follow it again.
    setPreviewSize(width, height) {
        const canvas = $('preview');
        canvas.classList.toggle('fixed', width !== undefined);
        if (width !== undefined) {
            canvas.width = width;
            canvas.height = height;
        }
        view.redraw = true;
    },
    // Draws the current time now (tests read the canvas right after).
    draw() {
        drawPreview();
        return engine.state();
    },
    step(frames = 1) {
        setPlaying(false);
        engine.step(frames);
        showTime();
        return engine.state();
    },
    play: () => setPlaying(true),
    pause: () => setPlaying(false),
    // The View menu's turn speeds, degrees per second about X, Y and Z.
    setTurn(x, y, z) {
        engine.setTurn(x, y, z);
        return seek(engine.elapsed());
    },
    setSeed(seed) {
        engine.setSeed(seed);
        $('seed').value = engine.seed();
        return seek(engine.elapsed());
    },
    modified: () => showModified(),
    // Save as the Save button does: a promise of {ok, text}, text being what the page shows.
    save,
    texture: () => {
        const texture = studioModule.texture();
        return {components: texture.components,
                levels: texture.levels.map((l) => ({width: l.width, height: l.height, pixels: Array.from(l.pixels)}))};
    },
    // A PNG's bytes as the texture (a promise of true when taken).
    usePicture: (bytes) => usePicture(new Blob([Uint8Array.from(bytes)], {type: 'image/png'})),
    loadTexture(bytes) {
        const taken = studioModule.loadTexture(bytes);
        if (taken) showTexture();
        return taken;
    },
    numbers: () => ({particles: engine.particles(), peak: view.peak, poolBytes: engine.poolBytes(),
                     elapsed: engine.elapsed(), frameMs: view.frameMs, drawn: view.drawn}),
};

const search = new URLSearchParams(location.search);
const batch = search.has('state');
const disk = batch ? null : connectDisk(search);  // the effect file qpedit-web serves
const controls = createControls($('settings'), studioModule.fields(), apply, applyTyped, message);
wire();
studioModule.useDefaultTexture();
showTexture();
if (batch) {
    runBatch(search);
} else {
    openFragment(location.hash);
    $('seed').value = engine.seed();
    if (disk) {
        await readDisk(true);
        disk.watch(diskChanged);
    }
}
showSettings();
showModified();
showTime();
document.body.dataset.ready = 'true';
requestAnimationFrame(paint);
