#!/usr/bin/python3
# Where a picture is, pixel for pixel, in a screenshot: prints "X Y" of its top-left corner, or
# exits with 1 when it is nowhere. Each row of the screenshot is searched for the picture's first
# row; each place found is then compared whole.
#   find_image.py SCREENSHOT PICTURE
import subprocess
import sys


def rows(path):
    """The image's rows of RGB bytes, as ImageMagick reads it."""
    size = subprocess.run(["identify", "-format", "%w %h", path], capture_output=True, text=True, check=True)
    width, height = map(int, size.stdout.split())
    data = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout
    return [data[y * width * 3 : (y + 1) * width * 3] for y in range(height)]


screen, picture = rows(sys.argv[1]), rows(sys.argv[2])
width = len(picture[0])
for top in range(len(screen) - len(picture) + 1):
    at = screen[top].find(picture[0])
    while at >= 0:
        if at % 3 == 0 and all(screen[top + y][at : at + width] == picture[y] for y in range(1, len(picture))):
            print(at // 3, top)
            sys.exit(0)
        at = screen[top].find(picture[0], at + 1)
sys.exit(1)
