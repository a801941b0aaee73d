#!/usr/bin/env python3
"""Builds an SQLite database from an SQL text: sql2sqlite.py SCRIPT.sql DATABASE."""
import os
import sqlite3
import sys


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: sql2sqlite.py SCRIPT.sql DATABASE")
    script, target = sys.argv[1], sys.argv[2]
    with open(script, encoding="utf-8") as f:
        sql = f.read()
    partial = target + ".part"
    if os.path.exists(partial):
        os.remove(partial)
    connection = sqlite3.connect(partial)
    try:
        connection.executescript(sql)
        connection.commit()
    finally:
        connection.close()
    os.replace(partial, target)


if __name__ == "__main__":
    main()
