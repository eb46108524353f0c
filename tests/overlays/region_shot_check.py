#!/usr/bin/env python3
"""Checks a screenshot taken during a region selection against one taken before it.

  region_shot_check.py BEFORE.ppm DURING.ppm L,T,R,B CELL.ppm TX,TY

L,T,R,B is the dragged rectangle (right and bottom inclusive). Its frame must be four
3-pixel bands inside the half-open rectangle from (L, T) to (R, B), each pixel the
screen's own inverted by the hatch: XOR 0x000064 (the hatch colour) on backward
diagonal lines (x + y the same for all of them, every 8 pixels), XOR 0xFFFFFF (the
brush's white background) between them. The label's text must show at (TX, TY)
exactly as CELL.ppm (drawn by RegionSelect --text-cell), in its box. Nothing else on
the screen may have changed.
"""
import sys


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    if fields[0] != b"P6" or fields[3] != b"255":
        sys.exit(f"{path}: not an 8-bit P6 picture")
    w, h = int(fields[1]), int(fields[2])
    return w, h, data[pos:pos + 3 * w * h]


def main():
    before_path, during_path, rect, cell_path, text_at = sys.argv[1:6]
    bw, bh, before = read_ppm(before_path)
    dw, dh, during = read_ppm(during_path)
    cw, ch, cell = read_ppm(cell_path)
    if (bw, bh) != (dw, dh):
        sys.exit("the screenshots differ in size")
    l, t, r, b = map(int, rect.split(","))
    tx, ty = map(int, text_at.split(","))

    def px(pic, x, y, w=bw):
        i = 3 * (y * w + x)
        return pic[i] << 16 | pic[i + 1] << 8 | pic[i + 2]

    failures = []
    band = lambda x, y: l <= x < r and t <= y < b and (x < l + 3 or x >= r - 3 or y < t + 3 or y >= b - 3)
    box = (tx - 4, ty - 4, tx + cw + 4, ty + ch + 4)  # the rounded box round the text
    in_box = lambda x, y: box[0] <= x < box[2] and box[1] <= y < box[3]

    line_phases, n_lines, n_gaps, n_label = set(), 0, 0, 0
    for y in range(bh):
        for x in range(bw):
            old, new = px(before, x, y), px(during, x, y)
            if band(x, y):
                delta = old ^ new
                if delta == 0x000064:
                    n_lines += 1
                    line_phases.add((x + y) % 8)
                elif delta == 0xFFFFFF:
                    n_gaps += 1
                else:
                    failures.append(f"frame pixel {x},{y}: {old:06x} became {new:06x}")
            elif in_box(x, y):
                n_label += old != new
            elif old != new and len(failures) < 20:
                failures.append(f"pixel {x},{y} outside the frame and label changed: {old:06x} -> {new:06x}")
    n_band = n_lines + n_gaps
    print(f"frame: {n_band} pixels inverted, {n_lines} on hatch lines (x + y mod 8 in {sorted(line_phases)})")
    if n_band == 0:
        failures.append("no frame")
    if len(line_phases) > 1:
        failures.append("the hatch lines are not backward diagonals")
    # A frame long enough to show its pattern: lines and gaps, one pixel in 8 on a line.
    if n_band >= 64 and (n_lines == 0 or n_gaps == 0 or abs(n_lines * 8 - n_band) > n_band // 50):
        failures.append(f"one pixel in {n_band / max(n_lines, 1):.1f} on a hatch line, wanted one in 8")

    n_text_bad = sum(px(during, tx + x, ty + y) != px(cell, x, y, cw) for y in range(ch) for x in range(cw))
    print(f"label: {n_label} pixels of its box changed; text cell {cw}x{ch} at {tx},{ty}: {n_text_bad} pixels differ")
    if n_text_bad:
        failures.append("the label's text is not the one expected, or not there")
    if n_label < cw * ch // 2:
        failures.append("the label's box hardly changed the screen")

    for f in failures[:20]:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
