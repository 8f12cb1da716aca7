#!/usr/bin/env python3
"""The page task's extraction in Python's re, on the same page: the yardstick for regex_bench."""
import os
import re
import subprocess
import sys
import timeit

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
page_bytes = subprocess.run([sys.executable, os.path.join(root, "tools", "record_site.py"),
                             "--print-page", "17"], capture_output=True, check=True).stdout


def extract():
    # As the program does: decode the GBK page, compile both patterns afresh, read the groups.
    page = page_bytes.decode("gbk")
    values = re.compile(r'<td width="16%">(\d+)<span class="bgray">(.*?)</span></td>',
                        re.IGNORECASE | re.MULTILINE | re.ASCII)
    amounts = [m.group(1) for m in values.finditer(page)][:24]
    name = re.compile(r'botitle18">(.*?)的营养价值', re.IGNORECASE | re.MULTILINE).search(page)
    return amounts, name.group(1)


re.purge()
runs = 2000
seconds = min(timeit.repeat(lambda: (re.purge(), extract()), number=runs, repeat=3))
print(f"python re: {seconds / runs * 1e6:.1f} us per {len(page_bytes)} byte page "
      f"(patterns compiled each time, as RegexObject does)")
