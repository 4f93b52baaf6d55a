#!/usr/bin/env python3
"""A loopback HTTP server for the update tests.

Listens on --ports ephemeral ports of 127.0.0.1 and prints them on one line.
Each request is answered from the plan file (JSON, re-read on every request)
under the key "<port><path>", else with 404, and recorded as one JSON line in
the log file before the answer goes out.

An answer is an object with these optional fields:
  status         HTTP status (200)
  headers        list of [name, value] lines
  body           text of the body ("")
  bodySize       a body of this many bytes instead ("x" repeated)
  contentLength  the Content-Length sent; -1 sends none (default: body length)
  sendBytes      send only this many bytes of the body, then close
  silentSeconds  say nothing for this long, then close
  holdSeconds    after sending, keep the connection open this long
"""
import argparse
import http.server
import json
import socketserver
import sys
import threading
import time

REASONS = {200: "OK", 301: "Moved Permanently", 302: "Found", 303: "See Other",
           401: "Unauthorized", 404: "Not Found", 500: "Internal Server Error"}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--ports", type=int, default=1)
    ap.add_argument("--plan", required=True)
    ap.add_argument("--log", required=True)
    args = ap.parse_args()
    log_lock = threading.Lock()

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.0"

        def log_message(self, *a):
            pass

        def handle_one(self):
            port = self.server.server_address[1]
            with log_lock, open(args.log, "a") as log:
                log.write(json.dumps({
                    "port": port, "method": self.command, "path": self.path,
                    "requestLine": self.requestline,
                    "headers": [[k, v] for k, v in self.headers.items()],
                }) + "\n")
            try:
                with open(args.plan) as f:
                    plan = json.load(f)
            except (OSError, ValueError):
                plan = {}
            answer = plan.get("%d%s" % (port, self.path), {"status": 404, "body": "missing"})
            if answer.get("silentSeconds"):
                time.sleep(answer["silentSeconds"])
                return
            status = answer.get("status", 200)
            body = answer.get("body", "").encode()
            if "bodySize" in answer:
                body = b"x" * answer["bodySize"]
            length = answer.get("contentLength", len(body))
            head = "HTTP/1.0 %d %s\r\n" % (status, REASONS.get(status, "Status"))
            for name, value in answer.get("headers", []):
                head += "%s: %s\r\n" % (name, value)
            if length >= 0:
                head += "Content-Length: %d\r\n" % length
            head += "\r\n"
            out = head.encode() + body[:answer.get("sendBytes", len(body))]
            try:
                self.wfile.write(out)
                self.wfile.flush()
                if answer.get("holdSeconds"):
                    time.sleep(answer["holdSeconds"])
            except OSError:
                pass

        do_GET = do_HEAD = do_POST = handle_one

    class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
        daemon_threads = True
        allow_reuse_address = True

    servers = [Server(("127.0.0.1", 0), Handler) for _ in range(args.ports)]
    for s in servers:
        threading.Thread(target=s.serve_forever, daemon=True).start()
    print(" ".join(str(s.server_address[1]) for s in servers), flush=True)
    # Ends when the test closes standard input (or kills it).
    sys.stdin.read()


if __name__ == "__main__":
    main()
