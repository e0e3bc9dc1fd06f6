// The gallery: many effects at once, each in a session of its own, playing on one
// clock in a grid of small pictures with their names and live particle counts. A
// click on a picture hands its effect to the editor. A file the engine refuses gets
// a tile with the reason instead of a picture.

import {createPreview} from './preview.js';

const TILE = [200, 150];          // pixels of one picture, at the camera's 4:3
const FRAME_MS = 16;              // the engine's frame
const LONGEST_MS = 60000;         // the clock starts over after this
const MOST_FRAMES_PER_PAINT = 4;  // playback drops time rather than fall further behind
const BLACK = [0, 0, 0];

export function createGallery(studioModule, root, onPick) {
    const canvas = root.querySelector('canvas');
    const tiles = root.querySelector('.tiles');
    const preview = createPreview(canvas);
    let entries = [];  // {name, bytes, session (null when refused), problem, tile, area}
    let carried = 0;
    let lastPaint = 0;
    let playing = true;  // a seek holds the clock until play()

    function layout() {
        const columns = Math.max(1, Math.floor(root.clientWidth / TILE[0]) || 1);
        const rows = Math.max(1, Math.ceil(entries.length / columns));
        canvas.width = columns * TILE[0];
        canvas.height = rows * TILE[1];
        entries.forEach((entry, i) => {
            const column = i % columns, row = Math.floor(i / columns);
            entry.area = [column * TILE[0], canvas.height - (row + 1) * TILE[1], TILE[0], TILE[1]];
            Object.assign(entry.tile.style, {left: `${column * TILE[0]}px`, top: `${row * TILE[1]}px`,
                                             width: `${TILE[0]}px`, height: `${TILE[1]}px`});
        });
    }

    function draw() {
        if (!preview) return;
        for (const entry of entries) {
            if (entry.session) {
                const frame = entry.session.billboards();
                preview.draw(frame.vertices, frame.systems, frame.view, 1, BLACK, entry.area);
                entry.tile.querySelector('.count').textContent =
                    `${entry.session.particles().toLocaleString('en')} particles`;
            } else {
                preview.draw(new Float32Array(0), [], null, 1, BLACK, entry.area);
            }
        }
    }

    function close() {
        for (const entry of entries) entry.session?.close();
        entries = [];
        tiles.replaceChildren();
    }

    function tile(entry, index) {
        const button = document.createElement('button');
        button.type = 'button';
        button.className = 'tile';
        button.dataset.index = index;
        const name = document.createElement('span');
        name.className = 'name';
        name.textContent = entry.name;
        const count = document.createElement('span');
        count.className = 'count';
        count.textContent = entry.problem;
        button.append(name, count);
        button.disabled = !entry.session;
        button.addEventListener('click', () => onPick(entry));
        return button;
    }

    return {
        // Shows `files` ([{name, bytes}]) from time 0, in place of what it showed.
        open(files) {
            close();
            entries = files.map(({name, bytes}) => {
                const session = studioModule.newSession();
                const result = session.load(bytes);
                if (!result.ok) session.close();
                else session.restart();
                return {name, bytes, session: result.ok ? session : null,
                        problem: result.ok ? '' : result.problems.trim()};
            });
            entries.forEach((entry, i) => {
                entry.tile = tile(entry, i);
                tiles.append(entry.tile);
            });
            root.hidden = entries.length === 0;
            layout();
            carried = 0;
            playing = true;
            draw();
        },
        close() {
            close();
            root.hidden = true;
        },
        setTexture(components, levels) {
            preview?.setTexture(components, levels);
        },
        // Live playback while shown: whole frames as wall time accumulates.
        paint(now) {
            if (root.hidden || !entries.length || !playing) {
                lastPaint = now;
                return;
            }
            carried += now - (lastPaint || now);
            lastPaint = now;
            const frames = Math.min(Math.floor(carried / FRAME_MS), MOST_FRAMES_PER_PAINT);
            carried -= Math.floor(carried / FRAME_MS) * FRAME_MS;
            if (frames === 0) return;
            for (const entry of entries) {
                if (!entry.session) continue;
                if (entry.session.elapsed() >= LONGEST_MS) entry.session.restart();
                entry.session.step(frames);
            }
            draw();
        },
        // Every effect at `ms`, as the editor's timeline shows it, held there.
        seek(ms) {
            playing = false;
            for (const entry of entries) entry.session?.seek(ms);
            draw();
        },
        play() {
            playing = true;
            carried = 0;
        },
        // What each tile shows: its name, and its particle count or the refusal.
        entries: () => entries.map((e) => ({name: e.name, particles: e.session ? e.session.particles() : null,
                                            state: e.session ? e.session.state() : null, problem: e.problem})),
        pick: (index) => onPick(entries[index]),
    };
}
