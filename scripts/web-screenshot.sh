#!/usr/bin/env bash
# Makes docs/studio.png: the web studio as `qpedit-web fire.QP` serves it, on the
# fire preset at two seconds, grabbed from headless Chromium (WebDriver) at 1280x900.
#   scripts/web-screenshot.sh [BUILD_DIR]   (default build/, a normal build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

./scripts/web.sh --build-only --test-packages
cmake --build "$build" --target qpedit-web qptool >/dev/null

scratch=$(mktemp -d "${TMPDIR:-/tmp}/qp-studio-shot.XXXXXX")
server=
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT
"$build/tools/qptool/qptool" new --preset fire "$scratch/fire.QP"
"$build/tools/qpedit-web/qpedit-web" --no-browser --page build-web "$scratch/fire.QP" >"$scratch/address" &
server=$!
for _ in $(seq 50); do
  [ -s "$scratch/address" ] && break
  sleep 0.1
done
address=$(cut -d' ' -f3 "$scratch/address")

mkdir -p docs
# Debian's python3-selenium belongs to the system's python.
/usr/bin/python3 - "$address" docs/studio.png "$scratch" <<'PY'
import sys
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.support.ui import WebDriverWait

address, output, scratch = sys.argv[1:]
options = webdriver.ChromeOptions()
options.binary_location = '/usr/bin/chromium'
for arg in ['--headless', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
            '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run',
            '--hide-scrollbars', '--window-size=1280,900', f'--user-data-dir={scratch}/chromium']:
    options.add_argument(arg)
driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
try:
    driver.get(address)
    WebDriverWait(driver, 30).until(lambda d: d.execute_script('return document.body.dataset.ready'))
    driver.execute_script('qpStudio.pause(); qpStudio.seek(2000); qpStudio.draw()')
    driver.save_screenshot(output)
finally:
    driver.quit()
PY
echo "web-screenshot: wrote docs/studio.png"
