#!/usr/bin/python3
"""Serves the studio (a folder holding index.html beside its .wasm) on 127.0.0.1
only, on a free port, with the types module scripts and WebAssembly need. Run
as a program it prints the address and serves until interrupted; the browser
tests start it in their own process with start()."""

import functools
import http.server
import sys
import threading

TYPES = {'.html': 'text/html', '.js': 'text/javascript', '.mjs': 'text/javascript',
         '.css': 'text/css', '.wasm': 'application/wasm'}


class StudioHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, **TYPES}

    def end_headers(self):
        # A rebuilt module shows at the next load.
        self.send_header('Cache-Control', 'no-store')
        super().end_headers()

    def log_message(self, *args):
        pass


def start(folder):
    """Serves `folder` on a thread; returns (server, address of index.html)."""
    handler = functools.partial(StudioHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, f'http://127.0.0.1:{server.server_address[1]}/index.html'


def main():
    if len(sys.argv) != 2:
        print('usage: serve.py FOLDER', file=sys.stderr)
        return 2
    server, address = start(sys.argv[1])
    print(f'qpedit studio: {address}  (Ctrl+C stops it)', flush=True)
    try:
        threading.Event().wait()
    except KeyboardInterrupt:
        pass
    server.shutdown()
    return 0


if __name__ == '__main__':
    sys.exit(main())
