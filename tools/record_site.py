#!/usr/bin/env python3
"""The bundled record site: a local HTTPS server of food record pages in GBK.

Serves /wochuo.asp?id=N for N in 1..1450 (and beyond, as pages without a record), deterministic
content, with switchable faults for tests. It counts requests per id; GET /_stats returns them as
JSON. The first line it prints is "listening on https://HOST:PORT".

  python3 tools/record_site.py [--port 8443] [--deleted 5,9-11] [--empty-first 2:17,30] ...
  python3 tools/record_site.py --print-page 17 > page.html    # one page's bytes
  python3 tools/record_site.py --expected-rows [fault options]  # the rows a harvest must store
"""

import argparse
import hashlib
import http.server
import json
import os
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

LAST_PAGE_ID = 1450
PAGE_PATH = "/wochuo.asp"

# (name, unit) of the 24 nutrients, in the document order of the table (8 rows of 3 cells).
NUTRIENTS = [
    ("热量", "大卡"), ("碳水化合物", "克"), ("脂肪", "克"),
    ("蛋白质", "克"), ("纤维素", "克"), ("维生素A", "微克"),
    ("维生素C", "毫克"), ("维生素E", "毫克"), ("胡萝卜素", "微克"),
    ("硫胺素", "毫克"), ("核黄素", "毫克"), ("烟酸", "毫克"),
    ("胆固醇", "毫克"), ("镁", "毫克"), ("钙", "毫克"),
    ("铁", "毫克"), ("锌", "毫克"), ("铜", "毫克"),
    ("锰", "毫克"), ("钾", "毫克"), ("磷", "毫克"),
    ("钠", "毫克"), ("硒", "微克"), ("视黄醇当量", "微克"),
]

STYLES = ["红烧", "清蒸", "凉拌", "干煸", "糖醋", "香煎", "爆炒", "卤", "酱", "白灼", "椒盐", "麻辣"]
FOODS = ["牛肉", "鲈鱼", "豆腐", "茄子", "排骨", "鸡翅", "土豆丝", "西兰花", "虾仁", "藕片",
         "羊肉", "鸭血", "冬瓜", "香菇", "莲藕", "猪蹄", "带鱼", "菠菜", "鸡蛋", "粉丝", "芋头"]

# Names that must arrive in the database unchanged: quotes, and an attempt at SQL injection.
SPECIAL_NAMES = {
    7: "老王's 饺子",
    77: "x'); DROP TABLE food; --",
    777: "''双引''号\"菜",
}

# Storage order of the amounts: the table read column by column.
STORAGE_ORDER = [(j - 1) * 3 + i for i in range(1, 4) for j in range(1, 9)]


def food_name(page_id):
    if page_id in SPECIAL_NAMES:
        return SPECIAL_NAMES[page_id]
    return STYLES[page_id % len(STYLES)] + FOODS[(page_id * 7) % len(FOODS)]


def amount(page_id, cell):
    digest = hashlib.sha256(f"{page_id}:{cell}".encode()).digest()
    return str(int.from_bytes(digest[:4], "big") % 2000)


def parse_ids(text):
    ids = set()
    for part in filter(None, (text or "").split(",")):
        if "-" in part:  # a range, optionally every n-th id of it: 3-1449/7
            span, _, step = part.partition("/")
            low, high = span.split("-", 1)
            ids.update(range(int(low), int(high) + 1, int(step or 1)))
        else:
            ids.add(int(part))
    return ids


class Faults:
    def __init__(self, args):
        self.deleted = parse_ids(args.deleted)
        self.no_name = parse_ids(args.no_name)
        self.partial = parse_ids(args.partial)
        self.always_empty = parse_ids(args.always_empty)
        self.utf8 = parse_ids(args.utf8)
        self.gbk_caps = parse_ids(args.gbk_caps)
        self.error_page = parse_ids(args.error_page)
        self.redirect = parse_ids(args.redirect)
        self.close = parse_ids(args.close)
        self.slow = parse_ids(args.slow)
        self.slow_ms = args.slow_ms
        self.plain_reference = args.plain_reference
        self.empty_first = {}  # id -> number of first requests answered empty
        for entry in filter(None, (args.empty_first or "").split(";")):
            count, ids = entry.split(":", 1)
            for page_id in parse_ids(ids):
                self.empty_first[page_id] = int(count)


def filler(page_id):
    """Navigation, comments and related links that a real record page carries around its data."""
    rows = []
    for k in range(90):
        other = (page_id * 31 + k) % LAST_PAGE_ID + 1
        rows.append(f'<li><a href="{PAGE_PATH}?id={other}" title="{food_name(other)}">'
                    f'{food_name(other)}</a> <span class="date">2019-0{k % 9 + 1}-1{k % 10}</span>'
                    f'<p class="summary">{food_name(other)}是一道家常菜，营养丰富，老少皆宜。'
                    f'烹饪时间约{k + 10}分钟，适合{k % 5 + 1}人食用。</p></li>')
    return "\n".join(rows)


def page_text(page_id, faults, charset_name):
    if page_id < 1 or page_id > LAST_PAGE_ID:
        return ("<html><head><meta charset=\"gb2312\"></head><body><div class=\"tip\">"
                "记录已被删除</div></body></html>")
    if page_id in faults.error_page:
        return "<html><body><h1>500 内部错误</h1><p>服务器繁忙，请稍后再试。</p></body></html>"
    name = food_name(page_id)
    cells_wanted = 20 if page_id in faults.partial else 24
    rows = []
    for row in range(8):
        tds = []
        for column in range(3):
            cell = row * 3 + column + 1
            if cell > cells_wanted:
                continue
            nutrient, unit = NUTRIENTS[cell - 1]
            if faults.plain_reference and page_id == LAST_PAGE_ID:
                nutrient, unit = f"N{cell}", f"U{cell}"
            tds.append(f'<td><a class="bblue" href="/yingyangsu/{cell}.html">{nutrient}</a></td>'
                       f'<td width="16%">{amount(page_id, cell)}<span class="bgray">{unit}</span></td>')
        rows.append("<tr>" + "".join(tds) + "</tr>")
    title = "" if page_id in faults.no_name else f'<h1 class="botitle18">{name}的营养价值</h1>'
    deleted = "<div class=\"tip\">记录已被删除</div>" if page_id in faults.deleted else ""
    return (f'<!DOCTYPE html>\n<html>\n<head>\n<meta http-equiv="Content-Type" '
            f'content="text/html; charset={charset_name}" />\n<title>{name}的营养价值_美食天地</title>\n'
            f'<link rel="stylesheet" href="/css/style.css" />\n</head>\n<body>\n'
            f'<div class="nav"><ul>{filler(page_id)}</ul></div>\n{deleted}\n'
            f'<div class="content">{title}\n<table class="nutrient">\n' + "\n".join(rows) +
            f'\n</table>\n</div>\n<div class="footer"><ul>{filler(page_id + 1)}</ul></div>\n'
            f'</body>\n</html>\n')


def page_bytes(page_id, faults):
    if page_id in faults.utf8:
        return page_text(page_id, faults, "utf-8").encode("utf-8")
    charset_name = "GBK" if page_id in faults.gbk_caps else "gb2312"
    return page_text(page_id, faults, charset_name).encode("gbk")


def expected_row(page_id, faults):
    """The row a harvest stores for a page, or None when it stores nothing."""
    if (page_id in faults.deleted or page_id in faults.no_name or page_id in faults.error_page
            or page_id in faults.always_empty or page_id in faults.close
            or faults.empty_first.get(page_id, 0) > 10):
        return None
    cells = 20 if page_id in faults.partial else 24
    amounts = [amount(page_id, cell) if cell <= cells else "" for cell in STORAGE_ORDER]
    return [food_name(page_id)] + amounts


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "RecordSite/1.0"

    def log_message(self, *args):
        pass

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        if url.path == "/_stats":
            with self.server.lock:
                body = json.dumps(self.server.counts).encode()
            return self.answer(200, body, "application/json")
        query = urllib.parse.parse_qs(url.query)
        if url.path != PAGE_PATH or "id" not in query:
            return self.answer(404, b"not found")
        try:
            page_id = int(query["id"][0])
        except ValueError:
            return self.answer(404, b"not found")
        faults = self.server.faults
        moved = "moved" in query
        with self.server.lock:
            key = str(page_id) + ("+moved" if moved else "")
            self.server.counts[key] = self.server.counts.get(key, 0) + 1
            seen = self.server.counts[key]
        if page_id in faults.close:
            self.close_connection = True
            self.connection.shutdown(socket.SHUT_RDWR)
            return
        if page_id in faults.redirect and not moved:
            return self.answer(302, b"moved", extra={"Location": f"{PAGE_PATH}?id={page_id}&moved=1"})
        if page_id in faults.slow:
            time.sleep(faults.slow_ms / 1000.0)
        if page_id in faults.always_empty or seen <= faults.empty_first.get(page_id, 0):
            return self.answer(200, b"")
        status = 500 if page_id in faults.error_page else 200
        self.answer(status, page_bytes(page_id, faults))

    def answer(self, status, body, content_type="text/html", extra=None):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        for name, value in (extra or {}).items():
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True


def make_certificate(folder):
    cert, key = os.path.join(folder, "site.crt"), os.path.join(folder, "site.key")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=127.0.0.1", "-keyout", key, "-out", cert],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return cert, key


def fault_options(parser):
    parser.add_argument("--deleted", help="ids whose page reports a deleted record")
    parser.add_argument("--no-name", help="ids whose page has no food name")
    parser.add_argument("--partial", help="ids whose table has only 20 cells")
    parser.add_argument("--always-empty", help="ids that always answer an empty page")
    parser.add_argument("--empty-first", help="K:IDS[;K:IDS]: the first K requests answer empty")
    parser.add_argument("--utf8", help="ids served in UTF-8, declared utf-8")
    parser.add_argument("--gbk-caps", help="ids that declare the charset as GBK in capitals")
    parser.add_argument("--error-page", help="ids answered with status 500 and an error body")
    parser.add_argument("--redirect", help="ids redirected (302) once before their page")
    parser.add_argument("--close", help="ids whose connection closes before any response")
    parser.add_argument("--slow", help="ids answered only after --slow-ms")
    parser.add_argument("--slow-ms", type=int, default=1000)
    parser.add_argument("--plain-reference", action="store_true",
                        help="name the cells of page 1450 N1..N24 with units U1..U24")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=8443, help="0 picks a free port")
    parser.add_argument("--print-page", type=int, help="write the bytes of one page and exit")
    parser.add_argument("--expected-rows", action="store_true",
                        help="write the rows a harvest must store (JSON) and exit")
    fault_options(parser)
    args = parser.parse_args()
    faults = Faults(args)
    if args.print_page is not None:
        sys.stdout.buffer.write(page_bytes(args.print_page, faults))
        return
    if args.expected_rows:
        rows = {i: expected_row(i, faults) for i in range(1, LAST_PAGE_ID + 1)}
        json.dump({i: r for i, r in rows.items() if r is not None}, sys.stdout, ensure_ascii=False)
        return

    server = http.server.ThreadingHTTPServer((args.host, args.port), Handler)
    server.daemon_threads = True
    server.faults = faults
    server.counts = {}
    server.lock = threading.Lock()
    with tempfile.TemporaryDirectory() as folder:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(*make_certificate(folder))
        server.socket = context.wrap_socket(server.socket, server_side=True,
                                             do_handshake_on_connect=False)
        print(f"listening on https://{args.host}:{server.server_address[1]}", flush=True)
        try:
            server.serve_forever()
        except KeyboardInterrupt:
            pass


if __name__ == "__main__":
    main()
