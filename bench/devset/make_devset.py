#!/usr/bin/python3
"""Extracts the development set of image pairs from installed Debian packages into a folder.

Usage: make_devset.py OUT_DIR [--scale]. Writes OUT_DIR/<pair>_a.png, <pair>_b.png and
OUT_DIR/pairs.txt (one line per pair: name, kind, the two file names, and the part it belongs to:
"tune", the pairs settings are chosen on, or "held", the pairs every figure is reported on), and
three clips of 40 frames at 0.1 MP for matching along a video, OUT_DIR/clip*/frame_0000.png to
frame_0039.png: a street (still camera), an animation (moving camera) and one of two unrelated
halves (a scene cut). --scale also writes OUT_DIR/scale/: one real photograph's pair at 0.1, 0.4,
1, 4 and 12 MP (its pairs.txt lists them), for the matcher's time per patch against size.
Nothing here is committed; the origin and licence of every source are in data/README.md.

Pairs made from one still (exposure, noise, rotation and scale, JPEG artefacts, viewpoint) take
B as the still transformed by fixed parameters and a seeded noise generator, so every run writes
the same files.
"""
import io
import os
import sys

import cv2
import numpy as np
from PIL import Image

OPENCV = "/usr/share/doc/opencv-doc/examples/data"
SKIMAGE = "/usr/lib/python3/dist-packages/skimage/data"
GNOME = "/usr/share/backgrounds/gnome"
PLASMA = "/usr/share/wallpapers"
SMALL = 0.1  # megapixels of most pairs, as a user trying the tool would pick


def load(path):
    image = Image.open(path)
    return np.asarray(image.convert("L" if image.mode in ("L", "I", "1") else "RGB"))


def plasma(name, size="2560x1600"):
    return load(f"{PLASMA}/{name}/contents/images/{size}.jpg")


def grey(image):
    return np.asarray(Image.fromarray(image).convert("L"))


def frame(video, index):
    """Frame `index` of a video, read in order from the start (seeking is unreliable in some files)."""
    capture = cv2.VideoCapture(os.path.join(OPENCV, video))
    for _ in range(index + 1):
        ok, bgr = capture.read()
        if not ok:
            sys.exit(f"cannot read frame {index} of {video}")
    return bgr[:, :, ::-1].copy()


def scaled(image, factor):
    """Area-averaged down-scaling by `factor` (< 1), as one would prepare a smaller test image;
    factors above 1 enlarge with a Lanczos filter."""
    height, width = image.shape[:2]
    size = (max(1, round(width * factor)), max(1, round(height * factor)))
    method = Image.BOX if factor <= 1 else Image.LANCZOS
    return np.asarray(Image.fromarray(image).resize(size, method))


def to_megapixels(image, megapixels, enlarge=False):
    factor = (megapixels * 1e6 / (image.shape[0] * image.shape[1])) ** 0.5
    return scaled(image, factor if enlarge else min(1.0, factor))


def noisy(image, sigma, seed):
    rng = np.random.default_rng(seed)
    return np.clip(image + rng.normal(0, sigma, image.shape), 0, 255).round().astype(np.uint8)


def exposed(image, gain, gamma):
    """Brightness changed as a camera's exposure and tone curve would: gain, then a power curve."""
    x = image.astype(np.float64) / 255
    return np.clip(255 * np.clip(x * gain, 0, 1) ** gamma, 0, 255).round().astype(np.uint8)


def warped(image, angle=0.0, scale=1.0, shift=(0.0, 0.0), tilt=0.0):
    """The image rotated by `angle` degrees and scaled about its centre, moved by `shift` pixels,
    with a perspective `tilt` (a viewpoint change); border pixels are mirrored in."""
    height, width = image.shape[:2]
    rotation = cv2.getRotationMatrix2D((width / 2, height / 2), angle, scale)
    matrix = np.vstack([rotation, [0, 0, 1]])
    matrix[:2, 2] += shift
    matrix[2, 0] = tilt / width
    return cv2.warpPerspective(image, matrix, (width, height), flags=cv2.INTER_LINEAR,
                               borderMode=cv2.BORDER_REFLECT)


def jpeg(image, quality):
    buffer = io.BytesIO()
    Image.fromarray(image).save(buffer, "JPEG", quality=quality)
    return load(buffer)


def crop(image, top, left, height, width):
    return image[top:top + height, left:left + width]


def tuning_pairs():
    """The pairs settings are chosen on: the fifteen of the first rounds, and some of each new kind."""
    small = SMALL
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
    # New kinds.
    yield "tree-far", "hand-held video of foliage, frames 10 apart", frame("tree.avi", 5), frame("tree.avi", 15)
    yield "vtest-grey-next", "static camera, consecutive frames, low texture (grey)", *(
        to_megapixels(grey(frame("vtest.avi", i)), small) for i in (300, 301))
    yield "street-stereo", "stereo views of a street", *(
        to_megapixels(load(f"{OPENCV}/{s}.jpg"), small) for s in ("left", "right"))
    chelsea = to_megapixels(load(f"{SKIMAGE}/chelsea.png"), small)
    yield "chelsea-exposure", "exposure and noise change", chelsea, noisy(exposed(chelsea, 1.4, 0.8), 4, 11)
    camera = to_megapixels(load(f"{SKIMAGE}/camera.png"), small)
    yield "camera-rotation", "rotation by 12 degrees and scale 1.1 (grey)", camera, warped(camera, 12, 1.1)
    astronaut = to_megapixels(load(f"{SKIMAGE}/astronaut.png"), small)
    yield "astronaut-jpeg", "JPEG artefacts (quality 15), moved 5 pixels", astronaut, jpeg(
        warped(astronaut, shift=(5, 3)), 15)
    water = to_megapixels(plasma("BytheWater"), 1.0)
    yield "bythewater-1mp", "photograph, small viewpoint change and noise, 1 MP", water, noisy(
        warped(water, 2, 1.03, (8, -5), 0.03), 2, 12)
    yield "grid-render", "render, light and dark variants", *(
        to_megapixels(load(f"{GNOME}/grid-{s}.webp"), small) for s in "ld")
    lake = to_megapixels(plasma("summer_1am"), small)
    yield "lake-lowtex", "photograph of low texture, moved and brightened", lake, exposed(
        warped(lake, shift=(6, 2)), 1.15, 1.0)


def held_out_pairs():
    """The pairs every figure is reported on; no setting is chosen by them."""
    small = SMALL
    yield "vtest-grey-far", "static camera, frames 30 apart, low texture (grey)", *(
        to_megapixels(grey(frame("vtest.avi", i)), small) for i in (500, 530))
    yield "tree-next", "hand-held video of foliage, consecutive frames", frame("tree.avi", 40), frame("tree.avi", 41)
    yield "tree-grey", "hand-held video of foliage, frames 3 apart (grey)", *(
        grey(frame("tree.avi", i)) for i in (55, 58))
    yield "megamind-far", "rendered animation, frames 6 apart", *(
        to_megapixels(frame("Megamind.avi", i), small) for i in (200, 206))
    yield "motorcycle-stereo", "stereo views", *(
        to_megapixels(load(f"{SKIMAGE}/motorcycle_{s}.png"), small) for s in ("left", "right"))
    yield "chessboard-stereo-2", "stereo views of a chessboard, other pose (grey)", *(
        to_megapixels(load(f"{OPENCV}/{s}07.jpg"), small) for s in ("left", "right"))
    coffee = to_megapixels(load(f"{SKIMAGE}/coffee.png"), small)
    yield "coffee-exposure", "exposure change (darker, other curve) and noise", coffee, noisy(
        exposed(coffee, 0.7, 1.3), 3, 21)
    orange = to_megapixels(load(f"{OPENCV}/orange.jpg"), small)
    yield "orange-noise", "strong noise (sigma 10), moved 4 pixels", orange, noisy(warped(orange, shift=(4, -4)), 10, 22)
    rocket = to_megapixels(load(f"{SKIMAGE}/rocket.jpg"), small)
    yield "rocket-rotation", "rotation by 8 degrees and scale 1.15", rocket, warped(rocket, 8, 1.15)
    building = to_megapixels(load(f"{OPENCV}/building.jpg"), small)
    yield "building-rotation", "rotation by 25 degrees and scale 0.85", building, warped(building, 25, 0.85)
    baboon = to_megapixels(load(f"{OPENCV}/baboon.jpg"), small)
    yield "baboon-jpeg", "JPEG artefacts (quality 10), moved 3 pixels", baboon, jpeg(warped(baboon, shift=(3, 7)), 10)
    fruits = to_megapixels(load(f"{OPENCV}/fruits.jpg"), small)
    yield "fruits-jpeg", "JPEG artefacts (quality 25) on both, rotated 3 degrees", jpeg(fruits, 25), jpeg(
        warped(fruits, 3), 25)
    pier = to_megapixels(plasma("ColdRipple"), small)
    yield "pier-lowtex", "grey photograph of fog, low texture, moved and darkened", pier, exposed(
        warped(pier, shift=(-7, 3)), 0.9, 1.1)
    yield "licorice-render", "render, light and dark variants", *(
        to_megapixels(load(f"{GNOME}/licorice-{s}.webp"), small) for s in "ld")
    leaf = to_megapixels(plasma("FallenLeaf"), small)
    yield "leaf-viewpoint", "photograph, viewpoint change (perspective)", leaf, warped(leaf, 4, 1.05, (10, 0), 0.12)
    yield "aloe-1.4mp", "stereo views, full size, 1.4 MP", load(f"{OPENCV}/aloeL.jpg"), load(f"{OPENCV}/aloeR.jpg")
    glow = to_megapixels(plasma("EveningGlow"), 1.0)
    yield "boats-1mp", "photograph, small viewpoint change and noise, 1 MP", glow, noisy(
        warped(glow, -3, 0.97, (-6, 9), 0.05), 2, 23)
    moss = to_megapixels(plasma("OneStandsOut"), 0.4)
    yield "moss-0.4mp", "photograph of dense texture, rotated and moved, 0.4 MP", moss, warped(
        moss, 6, 1.0, (12, -4))
    forest = to_megapixels(plasma("Path"), 0.4)
    yield "forest-0.4mp", "photograph, hand-held shake: small rotation, shift and blur, 0.4 MP", forest, cv2.GaussianBlur(
        warped(forest, -2, 1.02, (5, 5)), (3, 3), 0.7)


def scale_pairs():
    """One photograph's pair at several sizes: B is A's scene seen after a small viewpoint change,
    with sensor noise of the same strength at every size, so the pair has texture down to the pixel."""
    photo = plasma("EveningGlow")  # 2560 x 1600, the largest real photograph at hand
    for megapixels in (0.1, 0.4, 1, 4, 12):
        a = to_megapixels(photo, megapixels, enlarge=True)
        b = warped(a, -3, 0.97, (-6 * a.shape[1] / 1000, 9 * a.shape[1] / 1000), 0.05)
        seed = int(megapixels * 10)
        yield f"boats-{megapixels}mp", noisy(a, 2, 100 + seed), noisy(b, 2, 200 + seed)


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


def save(out, name, a, b):
    for side, image in (("a", a), ("b", b)):
        Image.fromarray(np.ascontiguousarray(image)).save(os.path.join(out, f"{name}_{side}.png"))
    print(f"{name}: {a.shape} -> {b.shape}")


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    lines = []
    for part, pairs in (("tune", tuning_pairs()), ("held", held_out_pairs())):
        for name, kind, a, b in pairs:
            save(out, name, a, b)
            lines.append(f"{name}\t{kind}\t{name}_a.png\t{name}_b.png\t{part}\n")
    with open(os.path.join(out, "pairs.txt"), "w") as listing:
        listing.writelines(lines)
    # A street seen by a still camera; an animation with a moving camera; and a scene cut: the
    # street's first half, then the animation at the street's size.
    clip(os.path.join(out, "clip"), video_frames("vtest.avi", 0, 40))
    clip(os.path.join(out, "clip-animation"), video_frames("Megamind.avi", 100, 40))
    street = list(video_frames("vtest.avi", 0, 20))
    size = (street[0].shape[1], street[0].shape[0])
    clip(os.path.join(out, "clip-cut"), street + list(video_frames("Megamind.avi", 100, 20, size=size)))
    if "--scale" in sys.argv[2:]:
        folder = os.path.join(out, "scale")
        os.makedirs(folder, exist_ok=True)
        listing = []
        for name, a, b in scale_pairs():
            save(folder, name, a, b)
            listing.append(f"{name}\tone photograph's pair, scaled\t{name}_a.png\t{name}_b.png\tscale\n")
        with open(os.path.join(folder, "pairs.txt"), "w") as scale_listing:
            scale_listing.writelines(listing)


if __name__ == "__main__":
    main()
