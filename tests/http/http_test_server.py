#!/usr/bin/env python3
"""A loopback HTTP and HTTPS server for the request routine's tests.

Prints "ports HTTP_PORT HTTPS_PORT" once both listen, and serves until its standard input ends
(or, with --until-killed, until it is killed). Every request's raw bytes are recorded;
GET /_last answers with the raw bytes of the request before it. What a request gets back is chosen
by its query string:
  status=302 reason=Found   status line (default 200 OK)
  h=Name:%20value           an extra header line (repeatable)
  body=text                 the body (UTF-8 of the text); body_hex=.. for raw bytes
  chunked=1                 send the body chunked
  delay_ms=N                stall N ms before answering
  close=1                   close the connection before any response
  reset=N                   announce more than is sent, send N bytes, then reset the connection
  auth=user:pass            401 unless Basic credentials match
  size=N                    a GBK body of about N bytes
"""

import base64
import os
import socket
import ssl
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

last_requests = []
lock = threading.Lock()


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(65536)
        if not chunk:
            return None
        data += chunk
    head, _, rest = data.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip())
    while len(rest) < length:
        chunk = conn.recv(65536)
        if not chunk:
            break
        rest += chunk
    return head + b"\r\n\r\n" + rest


def handle(conn):
    try:
        raw = read_request(conn)
        if raw is None:
            return
        request_line = raw.split(b"\r\n", 1)[0].decode("latin-1")
        target = request_line.split(" ")[1] if " " in request_line else "/"
        url = urllib.parse.urlsplit(target)
        query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        if url.path == "/_last":
            with lock:
                body = last_requests[-1] if last_requests else b""
            send(conn, "200 OK", [], body)
            return
        with lock:
            last_requests.append(raw)
        one = lambda key, default=None: query.get(key, [default])[0]
        if one("delay_ms"):
            time.sleep(int(one("delay_ms")) / 1000.0)
        if one("close"):
            return
        if one("auth"):
            expected = "Basic " + base64.b64encode(one("auth").encode()).decode()
            sent = [l for l in raw.split(b"\r\n\r\n")[0].split(b"\r\n")
                    if l.lower().startswith(b"authorization:")]
            if not sent or sent[0].split(b":", 1)[1].strip().decode() != expected:
                send(conn, "401 Unauthorized", ["WWW-Authenticate: Basic realm=\"t\""], b"denied")
                return
        status = one("status", "200") + " " + one("reason", "OK")
        headers = query.get("h", [])
        body = bytes.fromhex(one("body_hex")) if one("body_hex") else one("body", "ok").encode()
        if one("size"):
            body = (b"<p>" + "营养".encode("gbk") * 20 + b"</p>\n") * (int(one("size")) // 88)
        if one("reset"):
            n = int(one("reset"))
            conn.sendall(f"HTTP/1.1 {status}\r\nContent-Length: {n + 1000}\r\n\r\n".encode() +
                         body[:n])
            time.sleep(0.2)
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            return
        send(conn, status, headers, body, chunked=bool(one("chunked")))
    except (OSError, ssl.SSLError):
        pass
    finally:
        try:
            conn.close()
        except OSError:
            pass


def send(conn, status, headers, body, chunked=False):
    lines = [f"HTTP/1.1 {status}"] + headers + ["Connection: close"]
    if chunked:
        lines.append("Transfer-Encoding: chunked")
        payload = b"".join(b"%x\r\n%s\r\n" % (len(body[i:i + 7]), body[i:i + 7])
                           for i in range(0, len(body), 7)) + b"0\r\n\r\n"
    else:
        lines.append(f"Content-Length: {len(body)}")
        payload = body
    conn.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + payload)


def serve(listener, context):
    while True:
        conn, _ = listener.accept()
        def run(c=conn):
            if context is not None:
                try:
                    c = context.wrap_socket(c, server_side=True)
                except (OSError, ssl.SSLError):
                    c.close()
                    return
            handle(c)
        threading.Thread(target=run, daemon=True).start()


def listen():
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", 0))
    s.listen(64)
    return s


def main():
    folder = tempfile.mkdtemp()
    cert, key = os.path.join(folder, "c.pem"), os.path.join(folder, "k.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=localhost", "-keyout", key, "-out", cert],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    plain, secure = listen(), listen()
    threading.Thread(target=serve, args=(plain, None), daemon=True).start()
    threading.Thread(target=serve, args=(secure, context), daemon=True).start()
    print(f"ports {plain.getsockname()[1]} {secure.getsockname()[1]}", flush=True)
    if "--until-killed" in sys.argv:
        threading.Event().wait()
    sys.stdin.read()  # runs until the test closes our input


if __name__ == "__main__":
    main()
