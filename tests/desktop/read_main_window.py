"""Reads and presses the main window over AT-SPI, as a screen reader or automation would.

Usage: read_main_window.py HOST
HOST is the main window on fixture folders (atspi_host); this script makes the fixture, starts
HOST on it, and checks that every button is found by its caption, that Start can be pressed,
and that the junk list's rows and ticks can be read. Exit code 77: the AT-SPI bus did not start.
"""

import os
import shutil
import subprocess
import sys
import tempfile

from atspi_tools import (MAIN_TITLE, Atspi, atspi_bus_starts, by_name, controls, fail,
                         find_window, press, wait_for)

SKIP = 77
BUTTONS = ["退出(Q)", "终止扫描(B)", "关于本软件(A)", "全部清理(L)", "清理所选项(W)",
           "反向选择(F)", "全部选择(A)", "重新扫描(P)", "开始扫描(S)", "查看新版本(N)"]
OPTIONS = {Atspi.Role.RADIO_BUTTON: ["自定义扫描(D)", "快速扫描(推荐)(P)"],
           Atspi.Role.CHECK_BOX: ["扫描IE缓存", "扫描IE Cookie", "扫描标准垃圾文件",
                                  "扫描所选硬盘分区"]}
# The quick scan's folders in the order it walks them, one file each (the order within a folder
# is the file system's), with its size.
FIXTURE = [("temp/a.log", 3), ("wintemp/报告 2026.txt", 6),
           ("net/n/cache.bin", 7), ("cookies/user@site.txt", 8)]
NOT_JUNK_IN_QUICK_SCAN = [("c/c1.tmp", 9)]


def read_rows(table):
    rows = []
    for row in range(table.get_n_rows()):
        path = table.get_accessible_at(row, 0)
        size = table.get_accessible_at(row, 1)
        ticked = path.get_state_set().contains(Atspi.StateType.CHECKED)
        rows.append((path.get_name(), size.get_name(), ticked))
    return rows


def check(window, root):
    buttons = sorted(b.get_name() for b in controls(window, Atspi.Role.PUSH_BUTTON))
    if buttons != sorted(BUTTONS):
        fail(f"buttons by caption: {buttons}, expected {sorted(BUTTONS)}")
    for role, names in OPTIONS.items():
        found = sorted(node.get_name() for node in controls(window, role))
        if found != sorted(names):
            fail(f"{role.value_nick}: {found}, expected {sorted(names)}")
    enabled = {b.get_name(): b.get_state_set().contains(Atspi.StateType.ENABLED)
               for b in controls(window, Atspi.Role.PUSH_BUTTON)}
    scan_buttons = [enabled["开始扫描(S)"], enabled["终止扫描(B)"], enabled["重新扫描(P)"]]
    if scan_buttons != [True, False, False]:
        fail(f"scan buttons at start: {enabled}")

    drives = by_name(window, Atspi.Role.LIST, "硬盘分区")
    rows = [drives.get_child_at_index(i).get_name() for i in range(drives.get_child_count())]
    if rows != [f"{root}/c/"]:
        fail(f"drive list: {rows}")
    print("found", len(buttons), "buttons by caption and",
          sum(len(n) for n in OPTIONS.values()), "options by caption; of the scan buttons only",
          "Start is enabled; the drive list reads", rows)
    table = by_name(window, Atspi.Role.TABLE, "已经扫描出的垃圾文件")
    if table is None:
        fail("no junk list named by what it holds")
    heads = [table.get_column_description(c) for c in range(table.get_n_columns())]
    if heads != ["垃圾文件路径", "文件大小(Byte)"] or table.get_n_rows() != 0:
        fail(f"junk list before the scan: heads {heads}, {table.get_n_rows()} rows")

    press(window, "开始扫描(S)")
    wait_for("the end of the scan", lambda: by_name(window, Atspi.Role.LABEL, "扫描完成。"))
    expected = [(f"{root}/{path}", str(size), False) for path, size in FIXTURE]
    rows = wait_for("the rows", lambda: read_rows(table) if table.get_n_rows() else None)
    if rows != expected:
        fail(f"rows after the scan: {rows}, expected {expected}")
    # The labels' names follow their texts.
    count = f"已发现垃圾文件{len(FIXTURE)} 个，总计大小共{sum(size for _, size in FIXTURE)}Byte"
    if by_name(window, Atspi.Role.LABEL, count) is None:
        fail("no label reads " + count)
    print("after pressing Start, read", len(rows), "rows:", rows, "and the labels", count,
          "and 扫描完成。")

    press(window, "全部选择(A)")
    ticked = [(path, size, True) for path, size, _ in expected]
    wait_for("the ticks", lambda: read_rows(table) == ticked)
    print("after pressing Select all, every row reads as ticked")


def main():
    if not atspi_bus_starts():
        return SKIP
    root = tempfile.mkdtemp(prefix="sweepwise-atspi-")
    try:
        for path, size in FIXTURE + NOT_JUNK_IN_QUICK_SCAN:
            os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
            with open(os.path.join(root, path), "wb") as file:
                file.write(b"x" * size)
        host = subprocess.Popen([sys.argv[1], root])
        try:
            window = wait_for("the main window over AT-SPI",
                              lambda: find_window(host.pid, MAIN_TITLE))
            check(window, root)
            press(window, "退出(Q)")
            code = host.wait(timeout=30)
            print("after pressing Exit the program ended with code", code)
        finally:
            if host.poll() is None:
                host.kill()
                host.wait()
    finally:
        shutil.rmtree(root)
    return 0


if __name__ == "__main__":
    sys.exit(main())
