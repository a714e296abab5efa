#!/usr/bin/env python3
"""Writes the seed corpora of the targets that take scripts or text: fuzz_app (scripts for
the whole program in the byte code that fuzz_app.cpp reads), fuzz_number_entry,
fuzz_prompt and fuzz_settings."""
import os

here = os.path.dirname(os.path.abspath(__file__))

# fuzz_app's tables, in its order.
KEYS = "fevcosbmpqxytrkaujhgwdilnz-.0123456789 "
EXTENDED = ["f1", "f2", "f3", "f4", "f11", "f12", "ctrl-f4", "up", "down", "left", "right",
            "pgup", "pgdn", "home", "end"]
NAMES = ["card_8bit.bmp", "card_16bit.bmp", "card_420.jpg", "card_grey.jpg", "big.jpg",
         "cut.jpg", "notes.bmp", "pipe.bmp", "sub", "sub/inner.bmp", "sub/", "missing/x.bmp",
         "new.bmp", ".", "..", "VELDRAN.INI", '  "a, b.bmp"', "c.bmp, card_8bit.bmp"]


def setup(mode=0, depth=3, store=0, first=None):
    """Mode index (320x200, 320x240, 400x300, 640x480, 320x4200, 2400x200, 512x384,
    640x400), depth index (8, 15, 16, 32), store index (256x256, 256x192, 160x300, 64x64)
    and the picture named at start."""
    b = (mode & 3) | depth << 2 | store << 4 | (0x40 if first is not None else 0) | \
        (0x80 if mode & 4 else 0)
    return bytes([b, NAMES.index(first) if first is not None else 0])


def script(text):
    """Space-separated steps: alt, enter, esc, tab, bs, idle, an extended key's name,
    name:NAME, drop:NAME, click:X,Y and mouse:X,Y,BUTTONS (0..255 across the screen),
    hold:BITS (1 Alt, 2 left Shift, 4 right Shift), or characters typed one by one."""
    out = bytearray()
    for step in text.split():
        if step == "alt":
            out += bytes([9])
        elif step in ("enter", "esc", "tab", "bs"):
            out += bytes([{"enter": 3, "esc": 4, "tab": 5, "bs": 6}[step]])
        elif step == "idle":
            out += bytes([14])
        elif step in EXTENDED:
            out += bytes([7, EXTENDED.index(step)])
        elif step.startswith("name:"):
            out += bytes([13, NAMES.index(step[5:].replace("_SP_", " "))])
        elif step.startswith("drop:"):
            out += bytes([0x8E, NAMES.index(step[5:])])
        elif step.startswith("click:"):
            x, y = step[6:].split(",")
            out += bytes([12, int(x), int(y)])
        elif step.startswith("mouse:"):
            x, y, b = step[6:].split(",")
            out += bytes([11, int(x), int(y), int(b)])
        elif step.startswith("hold:"):
            out += bytes([10, int(step[5:])])
        else:
            for c in step:
                out += bytes([0, KEYS.index(c)])
    return bytes(out)


APP_SEEDS = {
    "browse": (setup(first="card_420.jpg"), "f4 f4 f4 f4 f4 f4 f4 f3 f3 f3 f3 f2 f4"),
    "open-each": (setup(mode=3), "alt f o name:card_8bit.bmp alt f o name:big.jpg alt f o "
                  "name:cut.jpg alt f o name:pipe.bmp alt f o name:sub alt f o name:notes.bmp"),
    "colours": (setup(first="card_16bit.bmp", depth=0),
                "alt c j c 9999999 h -999999 c 12 tab -1 tab 300 tab 5 enter s j r 0 enter "
                "g 1 enter b -5 enter i y d f"),
    "palette": (setup(first="card_grey.jpg", depth=2),
                "alt c p u p 0 enter p 9999999 m s -3 enter w 0 enter h 9999999 enter"),
    "multipalette-save": (setup(first="card_420.jpg"),
                          "alt c p u p 8 enter s 4 enter w 8 enter h 6 enter m alt f p "
                          "name:new.bmp alt c p m"),
    "save": (setup(first="card_8bit.bmp"),
             "alt f s alt f b name:new.bmp alt f m name:sub alt f b name:missing/x.bmp alt f b "
             "name:. alt f m name:.. alt f b name:VELDRAN.INI alt c p u alt f p name:pipe.bmp"),
    "resize": (setup(first="card_420.jpg", store=1),
               "alt e s e 9999999 tab 1 enter . e 0 w 0 enter . e -5 enter . e 64 w 300 enter ."),
    "flip-bench": (setup(first="card_16bit.bmp", store=2),
                   "alt e x y b idle idle idle mouse:100,100,2 mouse:100,100,0 alt e b idle esc"),
    "view": (setup(first="card_420.jpg", mode=1),
             "up down left right pgup pgdn home end hold:2 pgup home hold:0 f2 "
             "mouse:100,100,1 mouse:150,120,1 mouse:150,120,0 mouse:100,100,2 mouse:40,60,2 "
             "mouse:40,60,3 mouse:10,10,0 f11 f11 f12 ctrl-f4 alt v k up alt v o f a"),
    "menus": (setup(mode=2), "alt right right down tab tab esc alt f tab e tab v c tab "
              "mouse:20,40,2 mouse:200,180,2 mouse:200,180,0 ctrl-f4 click:10,10 f1 idle"),
    # Right-drags of a drop-down to the far end of screens with more than 255 rows or columns.
    "drag-tall": (setup(mode=4, first="card_8bit.bmp"),
                  "alt e r mouse:124,4,2 mouse:124,250,2 mouse:124,250,0 idle"),
    "drag-wide": (setup(mode=5, first="card_8bit.bmp"),
                  "alt e r mouse:17,45,2 mouse:250,45,2 mouse:250,45,0 idle"),
    "angle-drop": (setup(first="big.jpg", store=3),
                   "alt e r a 1.5 enter . drop:card_8bit.bmp idle drop:pipe.bmp idle "
                   "drop:sub/inner.bmp idle f4"),
}

NUMBER_SEEDS = {
    "contrast": b"\x00" + b"12\xc0",
    "angle": b"\x01" + b"-1.5\xc0",
    "resize-tab": b"\x02" + b"999\xe0" + b"7\xc0",
    "chain": b"\x00" + b"1\xe02\xe03\xe04\xe05\xe0",
    "escape": b"\x00" + b"4\xe05\xd0",
    "click": b"\x00" + b"33\xf0",
    "full": b"\x01" + b"1.2.3.4.5",
}

PROMPT_SEEDS = {
    "plain": b"\x00pic.bmp\r",
    "quoted": b"\x00  \"a, b\" , c\r",
    "edit": b"\x00abc\x08\x08d\x1bxyz\xff\x48q\r",
    "long": b"\x01" + b"n" * 97,
    "close": b"\x02ab\xff\x6bcd\r",
}

SETTINGS_SEEDS = {
    "crlf": b"mode = 19\r\ncdep = 32\r\nmaxh = 4096\r\nmaxv = 4096\r\n",
    "lf": b"mode = 20\ncdep = 16\nmaxh = 100\nmaxv = 100\n",
    "custom": b"'''' comment\r\nmode = 11520864\r\ncdep = 8\r\n",
    "huge": b"maxh = 99999999999999\r\nmaxv = 4294967296\r\n",
    "missing": b"mode =\r\ncdep\r\nmaxh = x12\r\n",
}


def write(target, seeds):
    folder = os.path.join(here, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def main():
    write("fuzz_app", {name: head + script(steps) for name, (head, steps) in APP_SEEDS.items()})
    write("fuzz_number_entry", NUMBER_SEEDS)
    write("fuzz_prompt", PROMPT_SEEDS)
    write("fuzz_settings", SETTINGS_SEEDS)


if __name__ == "__main__":
    main()
