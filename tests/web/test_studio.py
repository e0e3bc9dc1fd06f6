#!/usr/bin/python3
"""The studio page in headless Chromium against the native tools: the page's
state lines equal `qprender --state` line for line, its bytes equal what
`qptool new` writes, and its interface (assignments, undo and redo, refused
files, links, controls) works for real.

    test_studio.py NATIVE_BUILD SITE

NATIVE_BUILD holds the normal build (tools/qprender/qprender, tools/qptool/qptool, tools/qtex/qtex,
tools/qpedit-web/qpedit-web);
SITE holds the built page (index.html beside qpstudio.wasm). Ends with the line
`N passed, N failed`; exits 1 when anything failed."""

import base64
import http.client
import os
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.error
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'web'))
import serve  # noqa: E402  the studio's own server

NATIVE = SITE = None
ADDRESS = None
DRIVER = None
SCRATCH = tempfile.mkdtemp(prefix='qp-web-test-')


def tool(name):
    return os.path.join(NATIVE, 'tools', name, name)


def run(args, ok=(0,)):
    done = subprocess.run(args, capture_output=True, text=True)
    if done.returncode not in ok:
        raise AssertionError(f'{" ".join(args)} exited {done.returncode}: {done.stderr.strip()}')
    return done


def effect_file(name, *assignments):
    """The bytes and path of the effect `qptool new` writes for the assignments."""
    path = os.path.join(SCRATCH, name + '.QP')
    # --preset NAME and --from TEXT go before the file, assignments after it.
    options = [a for i, a in enumerate(assignments) if a.startswith('--') or (i and assignments[i - 1].startswith('--'))]
    rest = [a for a in assignments if a not in options]
    run([tool('qptool'), 'new', '--force', *options, path, *rest])
    with open(path, 'rb') as f:
        return f.read(), path


def preset_names():
    return [line.split()[0] for line in run([tool('qptool'), 'presets']).stdout.splitlines() if line.strip()]


def native_states(path, *options):
    # The texture is only read when pictures are made.
    out = run([tool('qprender'), 'unused.qtex', path, '--state', '--no-image', *options]).stdout
    return out.splitlines()


def fragment(data):
    return base64.urlsafe_b64encode(data).decode().rstrip('=')


def open_page(query='', hash_part=''):
    # From a blank page, so a new fragment on the same address loads afresh.
    DRIVER.get('about:blank')
    DRIVER.get(ADDRESS + query + hash_part)
    WebDriverWait(DRIVER, 30).until(lambda d: d.execute_script('return document.body.dataset.ready'))


def js(script, *args):
    return DRIVER.execute_script(script, *args)


def start_browser():
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/bin/chromium'
    for arg in ['--headless', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
                '--disable-background-networking', '--disable-component-update', '--disable-sync',
                '--no-first-run', '--disable-quic', '--window-size=1280,900',
                '--user-data-dir=' + tempfile.mkdtemp(prefix='qp-web-chromium-')]:
        options.add_argument(arg)
    return webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)


class Parity(unittest.TestCase):
    """Batch mode's lines against qprender's, frame by frame."""

    CASES = [
        # name, assignments, seed, frames
        ('defaults', [], 1, 200),
        ('defaults-seed42', [], 42, 200),
        ('cone', ['cone=on', 'coneDirection=0,1,0', 'coneAngle=30', 'velocity=0.5'], 1, 200),
        ('cone-flat', ['cone=on', 'coneDirection=1,0,0', 'coneAngle=90'], 42, 120),
        ('cone-narrow-oblique', ['cone=on', 'coneDirection=0.3,-2,0.5', 'coneAngle=0'], 1, 120),
        ('cone-zero-axis', ['cone=on', 'coneDirection=0,0,0', 'coneAngle=45'], 1, 80),
        ('colours-short-life', ['startColor=1,0.5,0.25,1', 'endColor=0,0,1,0.5', 'lifetime=300', 'size=0.1'], 42,
         120),
        ('high-rate', ['emitRate=60000', 'lifetime=1000'], 42, 90),
    ]

    def test_batch_lines_equal_qprender_state_at_every_frame(self):
        cases = [(name, ['--preset', name], 1, 120) for name in preset_names()] + self.CASES
        cases.append(('smoke-seed42', ['--preset', 'smoke'], 42, 120))
        for name, assignments, seed, frames in cases:
            with self.subTest(effect=name, seed=seed):
                data, path = effect_file(name, *assignments)
                expected = native_states(path, '--frames', str(frames), '--seed', str(seed))
                open_page(f'?state&frames={frames}&seed={seed}', '#fx=' + fragment(data))
                WebDriverWait(DRIVER, 60).until(
                    lambda d: d.find_element(By.ID, 'state').get_attribute('data-done') == 'true')
                actual = js('return document.getElementById("state").textContent').splitlines()
                self.assertEqual(frames, len(expected), f'{name}: qprender printed {len(expected)} lines')
                for k, (want, got) in enumerate(zip(expected, actual)):
                    self.assertEqual(want, got, f'{name} seed {seed}: frame {k + 1} differs')
                self.assertEqual(len(expected), len(actual), f'{name} seed {seed}: page printed {len(actual)} lines')

    def test_batch_with_a_refused_effect_prints_why_and_no_lines(self):
        bad = b'QPARTICLESYSTEM\x10\x00' + bytes(48)
        open_page('?state&frames=3', '#fx=' + fragment(bad))
        text = js('return document.getElementById("state").textContent')
        self.assertTrue(text.startswith('error: '), f'batch output for a wrong version: {text!r}')
        self.assertIn('wrong version', text, 'batch output for a wrong version')

    def test_high_rate_effect_holds_over_fifty_thousand_particles(self):
        data, path = effect_file('high-rate-count', 'emitRate=60000', 'lifetime=1000')
        expected = native_states(path, '--time', '1500')[-1]
        open_page()
        js('qpStudio.load(arguments[0])', list(data))
        self.assertEqual(expected, js('return qpStudio.seek(1500)'), 'state at 1500 ms')
        self.assertGreater(js('return qpStudio.numbers().particles'), 50000, 'live particles at 1500 ms')

    def test_sessions_stepped_in_turn_each_keep_their_own_sequence(self):
        cone, cone_path = effect_file('turns-cone', 'cone=on', 'emitRate=300')
        _, plain_path = effect_file('turns-plain', 'emitRate=200')
        open_page()
        lines = js("""
            const a = qpStudio.module.newSession(), b = qpStudio.module.newSession();
            a.load(arguments[0]);
            a.restart();
            b.set('emitRate=200');
            b.setSeed(42);
            const lines = {a: [], b: []};
            for (let k = 0; k < 40; ++k) {
                a.step(1); b.step(1);
                lines.a.push(a.state()); lines.b.push(b.state());
            }
            a.close(); b.close();
            return lines;""", list(cone))
        self.assertEqual(native_states(cone_path, '--frames', '40'), lines['a'], 'first session, seed 1')
        self.assertEqual(native_states(plain_path, '--frames', '40', '--seed', '42'), lines['b'],
                         'second session, seed 42')

    def test_seek_equals_qprender_at_a_time_that_is_not_a_whole_frame(self):
        data, path = effect_file('seek', 'emitRate=250', 'cone=on', 'coneAngle=20')
        open_page()
        js('qpStudio.load(arguments[0])', list(data))
        for ms in (1000, 250, 2000, 2003, 16):
            self.assertEqual(native_states(path, '--time', str(ms))[-1], js('return qpStudio.seek(arguments[0])', ms),
                             f'seek({ms})')


class Interface(unittest.TestCase):
    """window.qpStudio and the controls, each against the native tools."""

    def setUp(self):
        open_page()

    def test_assignment_changes_state_as_qprender_shows_the_same_settings(self):
        before = js('return qpStudio.seek(1000)')
        self.assertEqual({'ok': True, 'error': ''}, js('return qpStudio.set("emitRate=500")'))
        _, path = effect_file('rate500', 'emitRate=500')
        after = js('return qpStudio.state()')
        self.assertNotEqual(before, after, 'state after emitRate=500')
        self.assertEqual(native_states(path, '--time', '1000')[-1], after, 'state after emitRate=500')

    def test_bytes_equal_what_qptool_new_writes(self):
        sets = [
            ['emitRate=500'],
            ['startColor.a=0.5', 'endColor=0 0.25 1 0.75', 'size=-0.03'],
            ['cone=on', 'coneDirection.y=2', 'coneAngle=95', 'lifetime=-5', 'velocity=1e-45'],
        ]
        for assignments in sets:
            with self.subTest(assignments=assignments):
                open_page()
                for a in assignments:
                    self.assertEqual('', js('return qpStudio.set(arguments[0]).error', a), a)
                expected, _ = effect_file('bytes', *assignments)
                self.assertEqual(list(expected), js('return qpStudio.bytes()'), f'bytes after {assignments}')

    def test_each_assignment_writes_what_qptool_set_writes_after_it(self):
        assignments = ['cone=on', 'coneAngle=12.5', 'cone=off', 'startColor.g=0.125', 'lifetime=2500']
        _, path = effect_file('sets')
        for a in assignments:
            self.assertEqual('', js('return qpStudio.set(arguments[0]).error', a), a)
            run([tool('qptool'), 'set', path, a])
            with open(path, 'rb') as f:
                expected = list(f.read())
            self.assertEqual(expected, js('return qpStudio.bytes()'), f'bytes after {a}')

    def test_presets_write_what_qptool_new_preset_writes(self):
        names = [p['name'] for p in js('return qpStudio.presets()')]
        self.assertEqual(preset_names(), names, 'presets listed')
        for name in names:
            self.assertEqual({'ok': True, 'error': ''}, js('return qpStudio.usePreset(arguments[0])', name), name)
            expected, _ = effect_file('preset-' + name, '--preset', name)
            self.assertEqual(list(expected), js('return qpStudio.bytes()'), f'bytes of preset {name}')
        self.assertFalse(js('return qpStudio.usePreset("lava").ok'), 'a preset that does not exist')

    def test_text_is_what_qptool_dump_prints(self):
        sets = [[], ['--preset', 'magic'],
                ['size=1e+08', 'velocity=100', 'lifetime=-7', 'startColor=-0 1e-45 0.33333334 3.4028235e+38'],
                ['cone=on', 'coneDirection=0.1,-2.5e-07,12345.678', 'coneAngle=inf', 'endColor.a=nan(0x7fc12345)'],
                ['endColor=1.17549435e-38,10000,0.001,123456789']]
        for assignments in sets:
            with self.subTest(assignments=assignments):
                data, path = effect_file('text', *assignments)
                self.assertTrue(js('return qpStudio.load(arguments[0]).ok', list(data)), 'load')
                dump = run([tool('qptool'), 'dump', path]).stdout
                self.assertEqual(dump, js('return qpStudio.text()'), f'text of {assignments}')
                self.assertEqual(dump, DRIVER.find_element(By.ID, 'effectText').get_attribute('value'),
                                 f'text view of {assignments}')

    def test_applied_text_writes_what_qptool_new_from_writes(self):
        text = '# a comment line\nstartColor = 1 0.5 0 1\n\nemitRate = 640\r\ncone = on\nconeAngle = 12\n'
        path = os.path.join(SCRATCH, 'from.txt')
        with open(path, 'w', newline='') as f:
            f.write(text)
        expected, _ = effect_file('from', '--from', path)
        self.assertEqual({'ok': True, 'error': ''}, js('return qpStudio.applyText(arguments[0])', text), 'apply')
        self.assertEqual(list(expected), js('return qpStudio.bytes()'), 'bytes after the text')
        before = js('return qpStudio.bytes()')
        result = js('return qpStudio.applyText("size = 0.1\\nspeed = 2\\n")')
        self.assertEqual('text:2: ', result['error'][:8], f'error for a bad second line: {result["error"]}')
        self.assertEqual(before, js('return qpStudio.bytes()'), 'bytes after the refused text')

    def test_values_the_engine_cannot_use_sensibly_are_warned_of(self):
        warning = 'return document.querySelector(`[data-warning-for="${arguments[0]}"]`).textContent'
        self.assertEqual('', js(warning, 'lifetime'), 'lifetime warning at the defaults')
        js('qpStudio.set("lifetime=-5")')
        self.assertNotEqual('', js(warning, 'lifetime'), 'lifetime warning after lifetime=-5')
        js('qpStudio.set("cone=on")')
        js('qpStudio.set("coneDirection=0,0,0")')
        self.assertNotEqual('', js(warning, 'coneDirection'), 'cone axis warning after an all-zero axis')

    def test_refused_assignments_change_nothing(self):
        before = js('return qpStudio.bytes()')
        for bad in ['emitRate=1.5', 'emitRate=3000000000', 'speed=1', 'startColor=1,1,1', 'startColor.q=1',
                    'startColor=1,,1,1,1', 'size=', 'size=0.1x', 'coneAngle=10', 'cone=yes', 'size']:
            with self.subTest(assignment=bad):
                result = js('return qpStudio.set(arguments[0])', bad)
                self.assertFalse(result['ok'], f'{bad} was accepted')
                self.assertEqual(before, js('return qpStudio.bytes()'), f'bytes after refused {bad}')
                self.assertEqual(1, run([tool('qptool'), 'new', '--force', os.path.join(SCRATCH, 'refused.QP'), bad],
                                        ok=(0, 1)).returncode, f'qptool new accepted {bad}')

    def test_undo_and_redo_restore_bytes(self):
        defaults = js('return qpStudio.bytes()')
        js('qpStudio.set("emitRate=500")')
        js('qpStudio.set("cone=on")')
        changed = js('return qpStudio.bytes()')
        self.assertTrue(js('return qpStudio.undo()'), 'first undo')
        self.assertTrue(js('return qpStudio.undo()'), 'second undo')
        self.assertEqual(defaults, js('return qpStudio.bytes()'), 'bytes after two undos')
        self.assertFalse(js('return qpStudio.undo()'), 'undo past the start')
        self.assertTrue(js('return qpStudio.redo()'), 'first redo')
        self.assertTrue(js('return qpStudio.redo()'), 'second redo')
        self.assertEqual(changed, js('return qpStudio.bytes()'), 'bytes after two redos')
        self.assertFalse(js('return qpStudio.redo()'), 'redo past the end')

    def test_undo_shows_the_earlier_state_again(self):
        first = js('return qpStudio.seek(800)')
        js('qpStudio.set("velocity=1")')
        js('qpStudio.undo()')
        self.assertEqual(first, js('return qpStudio.state()'), 'state at 800 ms after set and undo')

    def test_refused_file_is_explained_and_changes_nothing(self):
        js('qpStudio.set("emitRate=321")')
        before = js('return [qpStudio.bytes(), qpStudio.seek(500)]')
        bad = list(b'QPARTICLESYSTEX\x00\x10' + bytes(48))
        result = js('return qpStudio.load(arguments[0])', bad)
        self.assertFalse(result['ok'], 'a file with a wrong magic was accepted')
        self.assertIn('wrong magic', result['problems'], 'the reason given')
        self.assertIn('wrong magic', DRIVER.find_element(By.ID, 'message').text, 'the message shown')
        self.assertEqual(before, js('return [qpStudio.bytes(), qpStudio.state()]'), 'after the refused file')
        short = js('return qpStudio.load(arguments[0])', list(b'QPARTICLES'))
        self.assertIn('short file', short['problems'], 'the reason for 10 bytes')

    def test_loaded_file_takes_its_settings(self):
        data, path = effect_file('loaded', 'cone=on', 'coneDirection=0,0,1', 'coneAngle=15', 'emitRate=700')
        self.assertTrue(js('return qpStudio.load(arguments[0]).ok', list(data)), 'load')
        self.assertEqual(list(data), js('return qpStudio.bytes()'), 'bytes after load')
        self.assertEqual(native_states(path, '--time', '600')[-1], js('return qpStudio.seek(600)'), 'state at 600 ms')
        self.assertEqual(False, js('return qpStudio.modified()'), 'modified right after loading')

    def test_link_round_trips_effect_seed_and_time(self):
        js('qpStudio.set("startColor=1,0.3,0.1,1")')
        js('qpStudio.set("cone=on")')
        js('qpStudio.setSeed(42)')
        state = js('return qpStudio.seek(1216)')
        data = js('return qpStudio.bytes()')
        link = js('return qpStudio.link()')
        self.assertIn('#fx=', link, 'the link')
        DRIVER.get('about:blank')
        DRIVER.get(link)
        WebDriverWait(DRIVER, 30).until(lambda d: d.execute_script('return document.body.dataset.ready'))
        self.assertEqual(data, js('return qpStudio.bytes()'), 'bytes after opening the link')
        self.assertEqual(state, js('return qpStudio.state()'), 'state after opening the link')

    def test_every_field_has_a_control_named_after_it(self):
        for name in ['startColor', 'endColor', 'size', 'velocity', 'lifetime', 'emitRate', 'cone', 'coneDirection.x',
                     'coneAngle']:
            self.assertEqual(1, len(DRIVER.find_elements(By.NAME, name)), f'controls named {name}')
        self.assertEqual('100', DRIVER.find_element(By.NAME, 'emitRate').get_attribute('value'), 'emitRate shown')
        self.assertEqual('0.02', DRIVER.find_element(By.NAME, 'size').get_attribute('value'), 'size shown')

    def test_typing_into_the_rate_field_changes_state_and_marks_the_page_modified(self):
        before = js('return qpStudio.seek(1000)')
        field = DRIVER.find_element(By.NAME, 'emitRate')
        field.send_keys(Keys.CONTROL, 'a')
        field.send_keys('250.9', Keys.TAB)
        self.assertEqual(250, js('return qpStudio.settings().emitRate'), 'rate after typing 250.9')
        self.assertNotEqual(before, js('return qpStudio.state()'), 'state after typing')
        self.assertEqual(True, js('return qpStudio.modified()'), 'modified after typing')
        self.assertIn('*', DRIVER.title, 'title after typing')
        leaving = js('const e = new Event("beforeunload", {cancelable: true}); window.dispatchEvent(e);'
                     'return e.defaultPrevented')
        self.assertEqual(True, leaving, 'leave warning armed after typing')

    def test_leave_warning_is_quiet_while_nothing_changed(self):
        leaving = js('const e = new Event("beforeunload", {cancelable: true}); window.dispatchEvent(e);'
                     'return e.defaultPrevented')
        self.assertEqual(False, leaving, 'leave warning on a fresh page')

    def test_typed_cone_angle_is_kept_within_0_to_90(self):
        DRIVER.find_element(By.NAME, 'cone').click()
        field = DRIVER.find_element(By.NAME, 'coneAngle')
        field.send_keys(Keys.CONTROL, 'a')
        field.send_keys('135', Keys.TAB)
        self.assertEqual(90, js('return qpStudio.settings().coneAngle'), 'cone angle after typing 135')

    def test_preview_follows_the_window_at_four_by_three(self):
        DRIVER.set_window_size(1000, 800)
        first = js('return [document.getElementById("preview").width, document.getElementById("preview").height]')
        DRIVER.set_window_size(1400, 1000)
        WebDriverWait(DRIVER, 10).until(
            lambda d: d.execute_script('return document.getElementById("preview").width') != first[0])
        second = js('return [document.getElementById("preview").width, document.getElementById("preview").height]')
        DRIVER.set_window_size(1280, 900)
        self.assertGreater(second[0], first[0], 'preview width after the window grew')
        self.assertEqual(round(second[0] * 3 / 4), second[1], 'preview height at 4:3')

    def test_dragging_turns_the_view_and_straighten_undoes_it(self):
        picture = 'qpStudio.draw(); return document.getElementById("preview").toDataURL()'
        state = js('return qpStudio.seek(1000)')
        straight = js(picture)
        canvas = DRIVER.find_element(By.ID, 'preview')
        ActionChains(DRIVER).move_to_element(canvas).click_and_hold().move_by_offset(60, 20).release().perform()
        self.assertNotEqual(straight, js(picture), 'picture after a drag')
        self.assertEqual(state, js('return qpStudio.state()'), 'state after a drag')
        DRIVER.find_element(By.ID, 'straighten').click()
        self.assertEqual(straight, js(picture), 'picture after straighten')

    def test_kept_effect_runs_beside_the_changed_one_at_the_same_time_and_seed(self):
        js('qpStudio.setSeed(42)')
        DRIVER.find_element(By.ID, 'keepB').click()
        js('qpStudio.set("emitRate=500")')
        _, kept_path = effect_file('kept-defaults')
        _, changed_path = effect_file('kept-changed', 'emitRate=500')
        self.assertEqual(native_states(changed_path, '--time', '1000', '--seed', '42')[-1],
                         js('return qpStudio.seek(1000)'), 'A at 1000 ms')
        self.assertEqual(native_states(kept_path, '--time', '1000', '--seed', '42')[-1],
                         js('return qpStudio.compare.state()'), 'B at 1000 ms')
        b_path = os.path.join(SCRATCH, 'kept-b.QP')
        with open(b_path, 'wb') as f:
            f.write(bytes(js('qpStudio.compare.keep(); qpStudio.set("size=0.04"); qpStudio.set("cone=on");'
                             'qpStudio.undo(); qpStudio.undo(); return qpStudio.bytes()')))
        js('qpStudio.set("size=0.04"); qpStudio.set("cone=on")')
        a_path = os.path.join(SCRATCH, 'kept-a.QP')
        with open(a_path, 'wb') as f:
            f.write(bytes(js('return qpStudio.bytes()')))
        diff = run([tool('qptool'), 'diff', b_path, a_path], ok=(1,)).stdout.splitlines()
        self.assertEqual(diff, js('return qpStudio.compare.diff()'), 'fields that differ from B')
        self.assertEqual('\n'.join(diff), DRIVER.find_element(By.ID, 'diffList').text, 'differences shown')
        DRIVER.find_element(By.ID, 'dropB').click()
        self.assertIsNone(js('return qpStudio.compare.state()'), 'B after stopping')

    def test_a_new_link_in_the_same_tab_opens_its_effect(self):
        data, _ = effect_file('relink', 'emitRate=333')
        address = js('return location.href.split("#")[0]') + '#fx=' + fragment(data)
        js('qpStudio.set("size=0.5")')
        DRIVER.get(address)
        WebDriverWait(DRIVER, 30).until(
            lambda d: d.execute_script('return document.body.dataset.ready && qpStudio.settings().emitRate') == 333)
        self.assertEqual(list(data), js('return qpStudio.bytes()'), 'bytes after the new link')

    def test_step_advances_one_16_ms_frame(self):
        js('qpStudio.seek(320)')
        self.assertTrue(js('return qpStudio.step()').startswith('frame 21 time 336 '), 'state after one step')


class Gallery(unittest.TestCase):
    """Many effects at once, each in its own session."""

    def test_files_chosen_together_play_side_by_side_and_a_click_opens_one(self):
        effects = [effect_file('gallery-cone', 'cone=on', 'emitRate=250'), effect_file('gallery-plain', 'size=0.05')]
        refused = os.path.join(SCRATCH, 'gallery-refused.QP')
        with open(refused, 'wb') as f:
            f.write(b'QPARTICLESYSTEM\x10\x00' + bytes(48))
        open_page()
        DRIVER.find_element(By.ID, 'openMany').send_keys('\n'.join([path for _, path in effects] + [refused]))
        WebDriverWait(DRIVER, 10).until(lambda d: len(d.execute_script('return qpStudio.gallery.entries()')) == 3)
        js('qpStudio.gallery.seek(1000)')
        entries = js('return qpStudio.gallery.entries()')
        for (data, path), entry in zip(effects, entries):
            self.assertEqual(os.path.basename(path), entry['name'], 'tile name')
            self.assertEqual(native_states(path, '--time', '1000')[-1], entry['state'], f'{entry["name"]} at 1000 ms')
        self.assertIsNone(entries[2]['state'], 'state of the refused file')
        self.assertIn('wrong version', entries[2]['problem'], 'reason shown for the refused file')
        tiles = DRIVER.find_elements(By.CSS_SELECTOR, '#gallery .tile')
        self.assertEqual(3, len(tiles), 'tiles shown')
        self.assertIn(f'{entries[0]["particles"]} particles', tiles[0].text, 'count on the first tile')
        tiles[1].click()
        self.assertEqual(list(effects[1][0]), js('return qpStudio.bytes()'), 'bytes after clicking the second tile')


def qtex_levels(data):
    """(components, [(width, height, pixels)]) of a whole QTEX file's bytes."""
    components, count = data[6], data[7]
    levels, at = [], 8
    for _ in range(count):
        width, height = int.from_bytes(data[at:at + 2], 'little'), int.from_bytes(data[at + 2:at + 4], 'little')
        size = width * height * components
        levels.append((width, height, list(data[at + 4:at + 4 + size])))
        at += 4 + size
    return components, levels


class Texture(unittest.TestCase):
    """The particle texture the preview draws with."""

    def setUp(self):
        open_page()

    def native_particle(self, *options):
        path = os.path.join(SCRATCH, 'particle.qtex')
        run([tool('qtex'), '--particle', *options, path])
        with open(path, 'rb') as f:
            return f.read()

    def test_built_in_texture_is_what_qtex_particle_writes(self):
        components, levels = qtex_levels(self.native_particle())
        page = js('return qpStudio.texture()')
        self.assertEqual(components, page['components'], 'components')
        self.assertEqual([(w, h) for w, h, _ in levels], [(l['width'], l['height']) for l in page['levels']], 'levels')
        for k, (want, got) in enumerate(zip(levels, page['levels'])):
            self.assertEqual(want[2], got['pixels'], f'pixels of level {k}')

    def test_picture_becomes_the_texture_qtex_makes_of_it(self):
        png = os.path.join(SCRATCH, 'spot.png')
        qtex = os.path.join(SCRATCH, 'default.qtex')
        run([tool('qtex'), '--particle', '--size', '40', qtex])
        run([tool('qtex'), '--png', qtex, png])
        converted = os.path.join(SCRATCH, 'from-png.qtex')
        run([tool('qtex'), '--rgb', png, converted])
        with open(png, 'rb') as f:
            taken = DRIVER.execute_async_script(
                'qpStudio.usePicture(arguments[0]).then(arguments[1])', list(f.read()))
        self.assertEqual(True, taken, 'picture taken')
        with open(converted, 'rb') as f:
            components, levels = qtex_levels(f.read())
        page = js('return qpStudio.texture()')
        self.assertEqual(components, page['components'], 'components')
        self.assertEqual([(w, h) for w, h, _ in levels], [(l['width'], l['height']) for l in page['levels']], 'levels')
        for k, (want, got) in enumerate(zip(levels, page['levels'])):
            self.assertEqual(want[2], got['pixels'], f'pixels of level {k}')
        # 40 x 40 is no power of two: WebGL 1 draws it unmipmapped rather than not at all.
        lit = js('qpStudio.set("size=0.2"); qpStudio.seek(500); qpStudio.draw();'
                 'const c = document.createElement("canvas"); c.width = 640; c.height = 480;'
                 'const g = c.getContext("2d"); g.drawImage(document.getElementById("preview"), 0, 0, 640, 480);'
                 'const d = g.getImageData(0, 0, 640, 480).data; let n = 0;'
                 'for (let i = 0; i < d.length; i += 4) if (d[i]) ++n; return n')
        self.assertGreater(lit, 1000, 'lit pixels drawn with the 40 x 40 texture')

    def test_qtex_file_is_taken_and_a_cut_one_refused(self):
        data = self.native_particle('--size', '16')
        self.assertEqual(False, js('return qpStudio.loadTexture(arguments[0])', list(data[:-1])), 'a cut file')
        self.assertEqual(128, js('return qpStudio.texture().levels[0].width'), 'width after the refused file')
        self.assertEqual(True, js('return qpStudio.loadTexture(arguments[0])', list(data)), 'a whole file')
        self.assertEqual(5, len(js('return qpStudio.texture().levels')), 'levels of a 16 x 16 texture')


# How far the canvas may be from qprender's picture: WebGL over SwiftShader and Mesa's
# GL round the last bits of filtering and of each additive blend apart, so a channel
# may differ by 5 levels; where many particles pile up the blends' roundings add up,
# so 0.5% of the pixels may differ by up to 32.
PIXEL_TOLERANCE = 5
PILED_UP_SHARE = 0.005
PILED_UP_TOLERANCE = 32

# Compares the preview canvas with a PNG (base64) channel by channel: the largest
# difference, how many pixels differ at all and how many by more than the tolerance.
COMPARE_CANVAS = """
const [png, tolerance, done] = arguments;
const image = new Image();
image.onload = () => {
    const read = (source) => {
        const c = document.createElement('canvas');
        c.width = image.width; c.height = image.height;
        const g = c.getContext('2d');
        g.drawImage(source, 0, 0);
        return g.getImageData(0, 0, c.width, c.height).data;
    };
    const want = read(image), got = read(document.getElementById('preview'));
    let largest = 0, differing = 0, over = 0;
    for (let i = 0; i < want.length; i += 4) {
        let d = 0;
        for (let k = 0; k < 3; ++k) d = Math.max(d, Math.abs(want[i + k] - got[i + k]));
        largest = Math.max(largest, d);
        if (d) ++differing;
        if (d > tolerance) ++over;
    }
    done({largest, differing, over, width: image.width});
};
image.onerror = () => done({error: 'qprender picture not decoded'});
image.src = 'data:image/png;base64,' + png;
"""


class Pictures(unittest.TestCase):
    """The preview canvas against qprender's picture of the same effect and time."""

    def test_canvas_matches_qprender_within_tolerance(self):
        texture = os.path.join(SCRATCH, 'particle.qtex')
        run([tool('qtex'), '--particle', texture])
        cases = [('defaults', [], 1000, [0, 0, 0]),
                 ('defaults-turning', [], 1000, [20, 45, 10]),
                 ('warm-cone', ['cone=on', 'coneDirection=0,1,0', 'coneAngle=30', 'startColor=1,0.5,0.2,1',
                                'velocity=0.4', 'emitRate=400', 'size=0.05'], 1500, [0, 0, 0])]
        for name, assignments, ms, turn in cases:
            with self.subTest(effect=name, time=ms):
                data, path = effect_file('picture-' + name, *assignments)
                png = os.path.join(SCRATCH, name + '.png')
                run([tool('qprender'), texture, path, '--time', str(ms), '--turn', ','.join(map(str, turn)), '-o', png])
                open_page()
                js('qpStudio.setPreviewSize(640, 480); qpStudio.load(arguments[0]); qpStudio.setTurn(...arguments[2]);'
                   'qpStudio.seek(arguments[1]); qpStudio.draw()', list(data), ms, turn)
                with open(png, 'rb') as f:
                    encoded = base64.b64encode(f.read()).decode()
                result = DRIVER.execute_async_script(COMPARE_CANVAS, encoded, PIXEL_TOLERANCE)
                self.assertNotIn('error', result, name)
                self.assertEqual(640, result['width'], f'{name}: width of qprender\'s picture')
                where = f'{name} at {ms} ms ({result["differing"]} pixels differ)'
                print(f'picture {name}: largest difference {result["largest"]}, {result["over"]} pixels over '
                      f'{PIXEL_TOLERANCE}, {result["differing"]} differ', file=sys.stderr)
                self.assertLessEqual(result['over'], PILED_UP_SHARE * 640 * 480,
                                     f'{where}: pixels more than {PIXEL_TOLERANCE} levels off')
                self.assertLessEqual(result['largest'], PILED_UP_TOLERANCE, f'{where}: largest channel difference')


class FileOnDisk(unittest.TestCase):
    """`qpedit-web FILE` for real: the page it serves edits FILE, sees changes made to
    FILE by anything else, and the server answers nobody without its token."""

    def setUp(self):
        self.bytes, made = effect_file('disk', 'emitRate=25')
        self.path = os.path.join(tempfile.mkdtemp(dir=SCRATCH), 'fire.QP')
        with open(made, 'rb') as source, open(self.path, 'wb') as target:
            target.write(source.read())
        self.server = subprocess.Popen([tool('qpedit-web'), '--no-browser', '--page', SITE, self.path],
                                       stdout=subprocess.PIPE, text=True)
        line = self.server.stdout.readline()
        self.address = line.split()[2]
        self.origin, self.token = self.address.split('/?token=')
        self.token = self.token.split('&')[0]

    def tearDown(self):
        self.server.terminate()
        self.server.wait()

    def open_served(self):
        DRIVER.get('about:blank')
        DRIVER.get(self.address)
        WebDriverWait(DRIVER, 30).until(lambda d: d.execute_script('return document.body.dataset.ready'))

    def file_bytes(self):
        with open(self.path, 'rb') as f:
            return f.read()

    def request(self, method, target, body=None, token=True):
        """(status, body) of one request made as another program would make it."""
        connection = http.client.HTTPConnection(self.origin.split('//')[1], timeout=10)
        headers = {'X-Qpedit-Token': self.token} if token else {}
        connection.request(method, target, body=body, headers=headers)
        reply = connection.getresponse()
        result = (reply.status, reply.read())
        connection.close()
        return result

    def test_page_shows_the_files_settings(self):
        self.open_served()
        self.assertEqual(25, js('return qpStudio.settings().emitRate'), 'emitRate shown for fire.QP')
        self.assertEqual(False, js('return qpStudio.modified()'), 'modified right after opening')

    def test_save_writes_the_file_as_qptool_new_would(self):
        self.open_served()
        for a in ['emitRate=40', 'cone=on', 'coneAngle=30']:
            self.assertEqual('', js('return qpStudio.set(arguments[0]).error', a), a)
        result = js('return await qpStudio.save()')
        expected, _ = effect_file('saved', 'emitRate=40', 'cone=on', 'coneAngle=30')
        self.assertEqual(expected, self.file_bytes(), 'fire.QP after Save')
        self.assertEqual({'ok': True, 'text': f'Saved {self.path}'}, result, 'Save\'s reply')
        self.assertEqual(f'Saved {self.path}', DRIVER.find_element(By.ID, 'message').text, 'message after Save')
        self.assertEqual([], [n for n in os.listdir(os.path.dirname(self.path)) if '.bak' in n], 'backups made')

    def test_change_on_disk_shows_in_the_page_without_reload(self):
        self.open_served()
        js('window.sameDocument = true')
        run([tool('qptool'), 'set', self.path, 'emitRate=7'])
        shown = WebDriverWait(DRIVER, 10).until(
            lambda d: d.execute_script('return qpStudio.settings().emitRate === 7 && window.sameDocument'))
        self.assertEqual(True, shown, 'emitRate=7 from qptool set shown in the same page')

    def test_unsaved_changes_ask_before_taking_the_files(self):
        self.open_served()
        js('qpStudio.set("emitRate=40")')
        run([tool('qptool'), 'set', self.path, 'emitRate=7'])
        WebDriverWait(DRIVER, 10).until(lambda d: d.find_element(By.ID, 'diskChange').is_displayed())
        self.assertEqual(40, js('return qpStudio.settings().emitRate'), 'emitRate while the page asks')
        DRIVER.find_element(By.ID, 'takeDisk').click()
        WebDriverWait(DRIVER, 10).until(lambda d: d.execute_script('return qpStudio.settings().emitRate') == 7)
        self.assertEqual(False, js('return qpStudio.modified()'), 'modified after taking the file\'s')

    def test_save_over_a_version_the_page_never_took_keeps_it(self):
        self.open_served()
        js('qpStudio.set("emitRate=40")')
        run([tool('qptool'), 'set', self.path, 'emitRate=7'])
        changed_on_disk = self.file_bytes()
        WebDriverWait(DRIVER, 10).until(lambda d: d.find_element(By.ID, 'diskChange').is_displayed())
        DRIVER.find_element(By.ID, 'keepMine').click()
        result = js('return await qpStudio.save()')
        self.assertEqual(f'Kept the earlier {self.path} as {self.path}.bak\nSaved {self.path}', result['text'],
                         'Save\'s reply')
        with open(self.path + '.bak', 'rb') as f:
            self.assertEqual(changed_on_disk, f.read(), 'the backup')
        expected, _ = effect_file('kept', 'emitRate=40')
        self.assertEqual(expected, self.file_bytes(), 'fire.QP after Save')

    def test_requests_without_the_token_are_refused(self):
        with self.assertRaises(urllib.error.HTTPError) as refused:
            urllib.request.urlopen(self.origin + '/effect', timeout=10)
        self.assertEqual(403, refused.exception.code, 'GET /effect without the token')
        for target in ['/', '/index.html', '/effect?token=' + '0' * 32]:
            self.assertEqual(403, self.request('GET', target, token=False)[0], f'GET {target} without the token')
        self.assertEqual(403, self.request('PUT', '/effect', body=bytes(65), token=False)[0], 'PUT without the token')
        self.assertEqual(self.bytes, self.file_bytes(), 'fire.QP after refused requests')

    def test_only_the_page_and_the_file_are_served(self):
        self.assertEqual((200, self.bytes), self.request('GET', '/effect'), 'GET /effect')
        for target in ['/../CMakeLists.txt', '/%2e%2e/index.html', '/.hidden.js', '/sub/index.html',
                       '/fire.QP', '/effect/../index.html', '/qpstudio.wasm.map']:
            self.assertEqual(404, self.request('GET', target)[0], f'GET {target}')
        self.assertEqual(405, self.request('POST', '/effect', body=b'x')[0], 'POST /effect')
        self.assertEqual(405, self.request('DELETE', '/effect')[0], 'DELETE /effect')
        self.assertEqual(413, self.request('PUT', '/effect', body=bytes(5000))[0], 'PUT of 5000 bytes')
        self.assertEqual(400, self.request('PUT', '/effect', body=bytes(65))[0], 'PUT of 65 zero bytes')
        self.assertEqual(self.bytes, self.file_bytes(), 'fire.QP after refused writes')

    def test_without_a_file_the_page_has_none_on_disk(self):
        alone = subprocess.Popen([tool('qpedit-web'), '--no-browser', '--page', SITE], stdout=subprocess.PIPE,
                                 text=True)
        try:
            address = alone.stdout.readline().split()[2]
            self.assertEqual(-1, address.find('file='), 'address without a file')
            DRIVER.get('about:blank')
            DRIVER.get(address)
            WebDriverWait(DRIVER, 30).until(lambda d: d.execute_script('return document.body.dataset.ready'))
            self.assertEqual('', DRIVER.find_element(By.ID, 'message').text, 'message without a file')
            origin, token = address.split('/?token=')
            request = urllib.request.Request(origin + '/effect', headers={'X-Qpedit-Token': token})
            with self.assertRaises(urllib.error.HTTPError) as missing:
                urllib.request.urlopen(request, timeout=10)
            self.assertEqual(404, missing.exception.code, 'GET /effect without a file')
        finally:
            alone.terminate()
            alone.wait()

    def test_listens_on_the_loopback_address_only(self):
        port = int(self.origin.rsplit(':', 1)[1])
        with open('/proc/net/tcp') as table:
            listening = [fields[1] for fields in (line.split() for line in table.readlines()[1:])
                         if fields[3] == '0A' and int(fields[1].split(':')[1], 16) == port]
        self.assertEqual(['0100007F:%04X' % port], listening, f'listening sockets on port {port}')


def main():
    global NATIVE, SITE, ADDRESS, DRIVER
    if len(sys.argv) != 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    NATIVE, SITE = (os.path.abspath(a) for a in sys.argv[1:])
    server, ADDRESS = serve.start(SITE)
    started = time.monotonic()
    DRIVER = start_browser()
    try:
        DRIVER.get(ADDRESS)
        WebDriverWait(DRIVER, 30).until(lambda d: d.execute_script('return document.body.dataset.ready'))
        first = WebDriverWait(DRIVER, 30).until(lambda d: d.execute_script('return qpStudio.firstFrameMs'))
        print(f'studio: first frame {first:.0f} ms after navigation; browser up in '
              f'{time.monotonic() - started:.1f} s', file=sys.stderr)
        suite = unittest.TestSuite()
        loader = unittest.TestLoader()
        for case in (Parity, Interface, Texture, Pictures, Gallery, FileOnDisk):
            suite.addTests(loader.loadTestsFromTestCase(case))
        result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout).run(suite)
    finally:
        DRIVER.quit()
        server.shutdown()
    failed = len(result.failures) + len(result.errors)
    print(f'{result.testsRun - failed} passed, {failed} failed')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
