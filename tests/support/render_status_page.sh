#!/usr/bin/env bash
# Shows a status page the way a visitor's browser does: serves DIR on a free loopback port, opens
# the newest status document in it ("vtman0.xml" .. "vtman9.xml" or "vtman.xml", styled by the
# "vtman.xsl" beside it) in headless Chromium and saves the picture, and on request the rendered
# HTML. Browsers apply a document's stylesheet only over HTTP (file:// blocks it), hence the server.
# Usage: render_status_page.sh DIR OUT.png [DOM.html]   (STATUS_PAGE_SIZE=390,844: a phone)
# Exit status: 0 done, 2 wrong use or nothing to show, 3 chromium not installed, 1 rendering failed.
set -euo pipefail

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: $0 DIR OUT.png [DOM.html]" >&2
  exit 2
fi
dir=$(cd "$1" && pwd)
out=$2
dom=${3:-}

browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
  echo "chromium is not installed (scripts/install-deps installs it)" >&2
  exit 3
fi
document=$(cd "$dir" && ls -t -- vtman*.xml 2>/dev/null | head -n 1 || true)
if [ -z "$document" ] || [ ! -f "$dir/vtman.xsl" ]; then
  echo "$dir holds no status document with its vtman.xsl" >&2
  exit 2
fi

python=python3
if [ -x /usr/bin/python3 ]; then python=/usr/bin/python3; fi
work=$(mktemp -d)
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# The server binds port 0 itself and prints the port it got: no race for a free port, and the
# port is printed only once the server listens.
coproc SERVER {
  exec "$python" -u -c '
import http.server, sys

class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=sys.argv[1], **kwargs)

    def end_headers(self):
        self.send_header("Cache-Control", "no-store")
        super().end_headers()

    def log_message(self, *args):
        pass

server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
' "$dir" 2>"$work/server.log"
}
server_pid=$SERVER_PID
port=""
if ! read -r -t 20 -u "${SERVER[0]}" port || [ -z "$port" ]; then
  echo "the web server did not start:" >&2
  cat "$work/server.log" >&2
  exit 1
fi
url="http://127.0.0.1:$port/$document"

# A fresh profile per run, so runs side by side do not share (or lock) one. The XSLT deprecation
# banner of recent Chromium would cover the top of the page.
flags=(--headless --no-sandbox --disable-gpu --hide-scrollbars --no-first-run
  --user-data-dir="$work/profile" --disable-features=GenerateXSLTWarningBanner
  --window-size="${STATUS_PAGE_SIZE:-1024,768}")

rm -f -- "$out"
if ! timeout 60 "$browser" "${flags[@]}" --screenshot="$out" "$url" >"$work/chromium.log" 2>&1 ||
  [ ! -s "$out" ]; then
  echo "chromium could not take the picture of $url:" >&2
  tail -n 20 "$work/chromium.log" >&2
  exit 1
fi
if [ -n "$dom" ]; then
  if ! timeout 60 "$browser" "${flags[@]}" --dump-dom "$url" >"$dom" 2>"$work/chromium.log"; then
    echo "chromium could not render $url:" >&2
    tail -n 20 "$work/chromium.log" >&2
    exit 1
  fi
fi
echo "saved $out ($url)"
