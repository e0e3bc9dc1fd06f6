// The settings panel: for every field of the engine's field table a group of controls
// named after it (name="emitRate", name="startColor", name="startColor.a", ...), the
// values as the engine reports them, and a warning beside a value the engine can't
// use sensibly. A typed value becomes one `name=value` assignment, kept as the
// editor's value entry keeps values; the engine applies it.

// How each field is shown: its label and its slider's reach. What the fields are
// (kinds, components, ranges) comes from the engine's one table of them.
const SHOWN = {
    startColor: {label: 'Start colour'},
    endColor: {label: 'End colour'},
    size: {label: 'Size', slider: 0.5, step: 0.001},
    velocity: {label: 'Velocity', slider: 2, step: 0.01},
    lifetime: {label: 'Lifetime (ms)', slider: 10000, step: 1},
    emitRate: {label: 'Particles per second', slider: 20000, step: 1},
    cone: {label: 'Cone'},
    coneDirection: {label: 'Cone axis', step: 0.1},
    coneAngle: {label: 'Cone angle', slider: 90, step: 0.5},
};

export function element(tag, attributes = {}, text = '') {
    const e = document.createElement(tag);
    for (const [key, value] of Object.entries(attributes)) e.setAttribute(key, value);
    if (text) e.textContent = text;
    return e;
}

function numberInput(name, label, field) {
    return element('input', {type: 'number', name, 'aria-label': label,
                             step: field.kind === 'int' ? '1' : String(field.step || 'any')});
}

function hexOf(color) {
    const byte = (v) => Math.round(Math.min(1, Math.max(0, v ?? 0)) * 255).toString(16).padStart(2, '0');
    return `#${byte(color[0])}${byte(color[1])}${byte(color[2])}`;
}

const shown = (v) => (v === null ? 'NaN' : String(v));

// What is wrong with a field's value for the engine, or '': a component outside
// the range the engine's table gives, or an all-zero value where it may not be.
function warningFor(field, value) {
    const parts = Array.isArray(value) ? value : [value];
    if (field.nonZero && parts.every((v) => v === 0)) return 'all zero: no direction';
    const outside = parts.some((v) => v === null || (field.low !== null && v < field.low) ||
                                      (field.high !== null && v > field.high));
    if (!outside) return '';
    const range = field.high === null ? `${field.low} or more` : `${field.low} to ${field.high}`;
    return `outside ${range}`;
}

// Controls in `form` for `table` (the engine's fields). `assign(text)` applies one
// assignment, `assignTyped(name, text)` one typed number; `problem(text)` reports a value that isn't a number. show(settings)
// puts settings (as the engine reports them) into the controls.
export function createControls(form, table, assign, assignTyped, problem) {
    const fields = table.map((f) => ({...f, ...(SHOWN[f.name] || {label: f.name})}));
    const named = (name) => form.querySelector(`[name="${name}"]`);
    let current = null;  // the settings last shown

    for (const field of fields) {
        const id = `field-${field.name}`;
        form.append(element('label', {for: id}, field.label));
        const row = element('div', {class: 'row'});
        if (field.kind === 'color') {
            row.append(element('input', {type: 'color', name: field.name, id, 'aria-label': field.label}));
            for (const part of field.letters)
                row.append(numberInput(`${field.name}.${part}`, `${field.label} ${part}`, {step: 0.01}));
        } else if (field.kind === 'switch') {
            row.append(element('input', {type: 'checkbox', name: field.name, id}));
        } else if (field.kind === 'vec3') {
            for (const part of field.letters) {
                const input = numberInput(`${field.name}.${part}`, `${field.label} ${part}`, field);
                if (part === field.letters[0]) input.id = id;
                row.append(input);
            }
        } else {
            const input = numberInput(field.name, field.label, field);
            input.id = id;
            const slider = element('input', {type: 'range', min: String(field.low ?? 0),
                                             max: String(field.slider || 1), step: String(field.step || 1),
                                             'data-slider-for': field.name, 'aria-label': `${field.label} slider`,
                                             tabindex: '-1'});
            row.append(input, slider);
        }
        row.append(element('span', {class: 'warning', 'data-warning-for': field.name}));
        form.append(row);
    }

    function show(settings) {
        current = settings;
        for (const field of fields) {
            const value = settings[field.name];
            const off = field.coneOnly && !settings.cone;  // the file keeps it only with the cone on
            if (field.kind === 'color' || field.kind === 'vec3') {
                if (field.kind === 'color') named(field.name).value = hexOf(value);
                [...field.letters].forEach((part, i) => {
                    const input = named(`${field.name}.${part}`);
                    input.value = shown(value[i]);
                    input.disabled = off;
                });
            } else if (field.kind === 'switch') {
                named(field.name).checked = value;
            } else {
                const slider = form.querySelector(`[data-slider-for="${field.name}"]`);
                named(field.name).value = shown(value);
                slider.value = value ?? 0;
                named(field.name).disabled = slider.disabled = off;
            }
            const warning = field.kind === 'switch' || off ? '' : warningFor(field, value);
            form.querySelector(`[data-warning-for="${field.name}"]`).textContent = warning;
        }
    }

    // A value typed into a control: the engine keeps it as the editor's value entry
    // keeps it (rate and lifetime whole, the cone angle within its range).
    function entered(name, text) {
        const value = text.trim();
        if (value === '' || Number.isNaN(Number(value))) {
            problem(`${name}: not a number`);
            show(current);
            return;
        }
        assignTyped(name, value);
    }

    function onControl(event) {
        const target = event.target;
        if (target.dataset.sliderFor) {
            entered(target.dataset.sliderFor, target.value);
        } else if (target.type === 'checkbox') {
            assign(`${target.name}=${target.checked ? 'on' : 'off'}`);
        } else if (target.type === 'color') {
            const hex = target.value;
            const alpha = current[target.name][3];
            const parts = [1, 3, 5].map((at) => parseInt(hex.slice(at, at + 2), 16) / 255);
            assign(`${target.name}=${parts.join(',')},${alpha ?? 'nan'}`);
        } else if (target.name) {
            entered(target.name, target.value);
        }
    }

    form.addEventListener('change', onControl);
    form.addEventListener('input', (e) => {
        if (e.target.dataset.sliderFor) onControl(e);
    });
    return {show};
}
