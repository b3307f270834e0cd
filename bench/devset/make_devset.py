#!/usr/bin/python3
"""Extracts the development set of image pairs from installed Debian packages into a folder.

Usage: make_devset.py OUT_DIR. Writes OUT_DIR/<pair>_a.png, <pair>_b.png and OUT_DIR/pairs.txt
(one line per pair: name, kind, the two file names), and three clips of 40 frames at 0.1 MP for
matching along a video, OUT_DIR/clip*/frame_0000.png to frame_0039.png: a street (still camera), an
animation (moving camera) and one of two unrelated halves (a scene cut).
Nothing here is committed; the origin and licence of every source are in data/README.md.
"""
import os
import sys

import cv2
import numpy as np
from PIL import Image

OPENCV = "/usr/share/doc/opencv-doc/examples/data"
SKIMAGE = "/usr/lib/python3/dist-packages/skimage/data"
GNOME = "/usr/share/backgrounds/gnome"


def load(path):
    image = Image.open(path)
    return np.asarray(image.convert("L" if image.mode in ("L", "I", "1") else "RGB"))


def frame(video, index):
    capture = cv2.VideoCapture(os.path.join(OPENCV, video))
    capture.set(cv2.CAP_PROP_POS_FRAMES, index)
    ok, bgr = capture.read()
    if not ok:
        sys.exit(f"cannot read frame {index} of {video}")
    return bgr[:, :, ::-1].copy()


def scaled(image, factor):
    """Area-averaged down-scaling by `factor` (< 1), as one would prepare a smaller test image."""
    height, width = image.shape[:2]
    size = (max(1, round(width * factor)), max(1, round(height * factor)))
    return np.asarray(Image.fromarray(image).resize(size, Image.BOX))


def to_megapixels(image, megapixels):
    return scaled(image, min(1.0, (megapixels * 1e6 / (image.shape[0] * image.shape[1])) ** 0.5))


def pairs():
    small = 0.1  # megapixels of most pairs, as a user trying the tool would pick
    yield "vtest-next", "consecutive video frames, 0.44 MP", frame("vtest.avi", 100), frame("vtest.avi", 101)
    far_a, far_b = frame("vtest.avi", 200), frame("vtest.avi", 260)
    yield "vtest-far", "video frames 60 apart", to_megapixels(far_a, small), to_megapixels(far_b, small)
    yield "megamind", "rendered animation, consecutive frames", *(
        to_megapixels(frame("Megamind.avi", i), small) for i in (120, 121))
    yield "basketball", "sports hall video, consecutive frames (grey)", *(
        to_megapixels(load(f"{OPENCV}/basketball{i}.png"), small) for i in (1, 2))
    yield "rubberwhale", "optical-flow frames, textured objects", *(
        to_megapixels(load(f"{OPENCV}/rubberwhale{i}.png"), small) for i in (1, 2))
    yield "aloe", "stereo views", *(to_megapixels(load(f"{OPENCV}/aloe{s}.jpg"), small) for s in "LR")
    yield "chessboard-stereo", "stereo views of a chessboard (grey)", *(
        to_megapixels(load(f"{OPENCV}/{s}01.jpg"), small) for s in ("left", "right"))
    yield "graf", "viewpoint change, 0.51 MP", load(f"{OPENCV}/graf1.png"), load(f"{OPENCV}/graf3.png")
    yield "leuven", "lighting change, 0.42 MP", load(f"{OPENCV}/leuvenA.jpg"), load(f"{OPENCV}/leuvenB.jpg")
    yield "box-in-scene", "object in a cluttered scene, other size (grey)", load(
        f"{OPENCV}/box.png"), to_megapixels(load(f"{OPENCV}/box_in_scene.png"), small)
    yield "suzanne", "synthetic render, viewpoint change", *(
        to_megapixels(load(f"{OPENCV}/Blender_Suzanne{i}.jpg"), small) for i in (1, 2))
    yield "aero", "aerial views, viewpoint change", *(
        to_megapixels(load(f"{OPENCV}/aero{i}.jpg"), small) for i in (1, 3))
    brick = load(f"{SKIMAGE}/brick.png")
    yield "brick", "repetitive texture, two parts of one wall (grey)", brick[:320, :320], brick[192:, 192:]
    yield "flat-render", "flat-shaded render, light and dark variants", *(
        to_megapixels(load(f"{GNOME}/truchet-{s}.webp"), small) for s in "ld")
    yield "adwaita-4mp", "render, light and dark variants, 4.2 MP", *(
        scaled(load(f"{GNOME}/adwaita-{s}.webp"), 0.5) for s in "ld")


def video_frames(video, first, count, megapixels=0.1, size=None):
    """`count` frames of a video from `first` on, read in order, down-scaled to about `megapixels`
    (or to exactly `size`, width and height)."""
    capture = cv2.VideoCapture(os.path.join(OPENCV, video))
    capture.set(cv2.CAP_PROP_POS_FRAMES, first)
    for index in range(first, first + count):
        ok, bgr = capture.read()
        if not ok:
            sys.exit(f"cannot read frame {index} of {video}")
        rgb = bgr[:, :, ::-1].copy()
        if size:
            yield np.asarray(Image.fromarray(rgb).resize(size, Image.BOX))
        else:
            yield to_megapixels(rgb, megapixels)


def clip(out, frames):
    os.makedirs(out, exist_ok=True)
    for index, image in enumerate(frames):
        Image.fromarray(np.ascontiguousarray(image)).save(os.path.join(out, f"frame_{index:04d}.png"))
    print(f"{os.path.basename(out)}: {index + 1} frames of {image.shape}")


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    lines = []
    for name, kind, a, b in pairs():
        for side, image in (("a", a), ("b", b)):
            Image.fromarray(np.ascontiguousarray(image)).save(os.path.join(out, f"{name}_{side}.png"))
        lines.append(f"{name}\t{kind}\t{name}_a.png\t{name}_b.png\n")
        print(f"{name}: {a.shape} -> {b.shape}")
    with open(os.path.join(out, "pairs.txt"), "w") as listing:
        listing.writelines(lines)
    # A street seen by a still camera; an animation with a moving camera; and a scene cut: the
    # street's first half, then the animation at the street's size.
    clip(os.path.join(out, "clip"), video_frames("vtest.avi", 0, 40))
    clip(os.path.join(out, "clip-animation"), video_frames("Megamind.avi", 100, 40))
    street = list(video_frames("vtest.avi", 0, 20))
    size = (street[0].shape[1], street[0].shape[0])
    clip(os.path.join(out, "clip-cut"), street + list(video_frames("Megamind.avi", 100, 20, size=size)))


if __name__ == "__main__":
    main()
