#!/usr/bin/python3
"""Counts the distinct ink colours of a screenshot region.

  ink_colours.py WIDTH HEIGHT < raw RGB bytes

A pixel of text drawn in colour C over white, antialiased, is white mixed
with C: its ink (255 - r, 255 - g, 255 - b) points the same way as C's
whatever the mix. Pixels with enough ink are grouped by that direction;
a group of many pixels is one colour. Grey and black are one group.
"""
import sys

width, height = int(sys.argv[1]), int(sys.argv[2])
data = sys.stdin.buffer.read()
groups = {}
for i in range(0, min(len(data), width * height * 3), 3):
    ink = (255 - data[i], 255 - data[i + 1], 255 - data[i + 2])
    total = sum(ink)
    if total < 150:
        continue
    key = (round(12 * ink[0] / total), round(12 * ink[1] / total))
    groups[key] = groups.get(key, 0) + 1
print(sum(1 for count in groups.values() if count >= 25))
