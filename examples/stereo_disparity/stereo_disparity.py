#!/usr/bin/python3
"""A stereo algorithm under test: disparity from the bench's stereo pair with OpenCV's
semi-global block matcher, checked against the disparity the scene's geometry predicts.

It places the rig (looking along +y, heading 90), fetches the left and right frames from the
running bench, computes the disparity map, writes it as a colour-mapped picture with a colour
bar of disparity values and, beside it, as raw values in pixels (PFM: disparity.png gives
disparity.pfm; +inf where the matcher found no match), and prints the median disparity inside
a region next to the prediction f x baseline / depth, where depth is the distance from the rig
to a wall facing it at y = WALL_Y.

    /usr/bin/python3 stereo_disparity.py --rig 2 2.3 --wall-y 3.8 --out disparity.png

With --evaluate it scores the matcher against the true disparity of a dataset that
`oculant-client record` wrote instead: for every sample, the share of pixels whose disparity is
off by more than 1 and by more than 2 pixels ("bad 1.0" and "bad 2.0"; a pixel the matcher left
unmatched counts as bad). No bench is needed for that. With --write-result NAME it also writes
each sample's map as NNNN/disp0NAME.pfm, where `oculant-client record --evaluate DATASET
--result NAME` scores it as Middlebury's tables do.

    /usr/bin/python3 stereo_disparity.py --evaluate dataset --region 64 20 320 240 \
        --write-result SGBM

Needs OpenCV and numpy: Debian's /usr/bin/python3 has them once scripts/setup installed
python3-opencv and python3-numpy (another python3 first on the PATH, such as pyenv's, may lack
them). Fetching frames needs a bench running in this user's runtime folder.
"""

import argparse
import os
import sys

try:
    import cv2
    import numpy
except ImportError as missing:
    sys.exit("stereo_disparity: this Python (%s) has no %s. Run the example with /usr/bin/python3, "
             "where scripts/setup installs python3-opencv and python3-numpy, or install OpenCV "
             "and numpy for this Python." % (sys.executable, missing.name))

# The Python client lives in clients/python of the bench's source tree.
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "clients", "python"))
from oculant_client import Bench, BenchError  # noqa: E402


def disparity_map(left_bgr, right_bgr, max_disparity=64, block=5):
    """Disparity in pixels of every left-image pixel; NaN where the matcher found none."""
    left = cv2.cvtColor(left_bgr, cv2.COLOR_BGR2GRAY)
    right = cv2.cvtColor(right_bgr, cv2.COLOR_BGR2GRAY)
    matcher = cv2.StereoSGBM_create(
        minDisparity=0,
        numDisparities=max_disparity,
        blockSize=block,
        P1=8 * block * block,
        P2=32 * block * block,
        uniquenessRatio=10,
        speckleWindowSize=100,
        speckleRange=2,
    )
    fixed = matcher.compute(left, right)  # 16ths of a pixel; negative where nothing matched
    disparity = fixed.astype(numpy.float32) / 16.0
    disparity[fixed < 0] = numpy.nan
    return disparity


def read_pfm(path):
    """A greyscale PFM as a float32 array, top row first."""
    with open(path, "rb") as stream:
        if stream.readline().strip() != b"Pf":
            raise ValueError("%s is no greyscale PFM" % path)
        width, height = map(int, stream.readline().split())
        scale = float(stream.readline())
        values = numpy.fromfile(stream, dtype="<f4" if scale < 0 else ">f4", count=width * height)
    if values.size != width * height:
        raise ValueError("%s ends early" % path)
    return numpy.flipud(values.reshape(height, width)).astype(numpy.float32)


def bad_pixel_rates(disparity, truth, region=None):
    """The shares of pixels with a true disparity whose estimate is off by more than 1 and more
    than 2 pixels, an unmatched pixel counting as off; and how many pixels were scored."""
    if region:
        x0, y0, x1, y1 = region
        disparity, truth = disparity[y0:y1, x0:x1], truth[y0:y1, x0:x1]
    scored = numpy.isfinite(truth)
    error = numpy.abs(numpy.nan_to_num(disparity, nan=numpy.inf)[scored] - truth[scored])
    count = int(error.size)
    if count == 0:
        return float("nan"), float("nan"), 0
    return float(numpy.mean(error > 1.0)), float(numpy.mean(error > 2.0)), count


def truth_file(folder):
    """A sample's true disparity of the left view under either layout's name, or None."""
    for name in ("disp0.pfm", "disp0GT.pfm"):
        if os.path.exists(os.path.join(folder, name)):
            return os.path.join(folder, name)
    return None


def sample_folders(dataset):
    """The sample folders of a recorded dataset, or the dataset itself when it is one sample.
    Hidden folders are samples a recording has not finished."""
    if truth_file(dataset):
        return [dataset]
    return sorted(os.path.join(dataset, name) for name in os.listdir(dataset)
                  if not name.startswith(".") and truth_file(os.path.join(dataset, name)))


def evaluate(args):
    folders = sample_folders(args.evaluate)
    if not folders:
        sys.exit("stereo_disparity: no samples (NNNN/im0.png, im1.png, disp0.pfm or disp0GT.pfm)"
                 " in %s"
                 % args.evaluate)
    total_bad1 = total_bad2 = total_count = 0.0
    for folder in folders:
        left = cv2.imread(os.path.join(folder, "im0.png"))
        right = cv2.imread(os.path.join(folder, "im1.png"))
        if left is None or right is None:
            sys.exit("stereo_disparity: %s lacks im0.png or im1.png" % folder)
        truth = read_pfm(truth_file(folder))
        disparity = disparity_map(left, right, args.max_disparity)
        if args.write_result:
            write_pfm(os.path.join(folder, "disp0%s.pfm" % args.write_result), disparity)
        bad1, bad2, count = bad_pixel_rates(disparity, truth, args.region)
        print("%s: bad 1.0 %.2f %%, bad 2.0 %.2f %% of %d pixels"
              % (os.path.basename(os.path.normpath(folder)), 100 * bad1, 100 * bad2, count))
        if count:
            total_bad1 += bad1 * count
            total_bad2 += bad2 * count
            total_count += count
    if total_count == 0:
        sys.exit("stereo_disparity: no pixel with a true disparity was scored")
    print("all %d samples: bad 1.0 %.2f %%, bad 2.0 %.2f %%"
          % (len(folders), 100 * total_bad1 / total_count, 100 * total_bad2 / total_count))


def colour_mapped(disparity, max_disparity):
    """The map as a BGR picture: far is blue, near is red, unmatched black."""
    scaled = numpy.nan_to_num(disparity, nan=0.0) * (255.0 / max_disparity)
    picture = cv2.applyColorMap(numpy.clip(scaled, 0, 255).astype(numpy.uint8), cv2.COLORMAP_JET)
    picture[numpy.isnan(disparity)] = 0
    return picture


def with_scale(picture, max_disparity):
    """The picture with a colour bar on its right, labelled with the disparities in pixels that
    its colours stand for (0 at the bottom, max_disparity at the top)."""
    height, width = picture.shape[:2]
    margin, bar_width = 8, 14
    canvas = numpy.zeros((height, width + 64, 3), numpy.uint8)
    canvas[:, :width] = picture
    top, bottom = margin, height - margin  # the bar's rows, bottom exclusive
    values = numpy.linspace(max_disparity, 0, bottom - top, dtype=numpy.float32)
    bar = colour_mapped(numpy.repeat(values[:, None], bar_width, axis=1), max_disparity)
    left = width + margin
    canvas[top:bottom, left:left + bar_width] = bar
    step = max(1, max_disparity // 4)
    for value in range(0, max_disparity + 1, step):
        row = int(round(bottom - 1 - (bottom - 1 - top) * value / max_disparity))
        cv2.line(canvas, (left + bar_width, row), (left + bar_width + 3, row), (255, 255, 255))
        label = "%d px" % value if value + step > max_disparity else "%d" % value
        cv2.putText(canvas, label, (left + bar_width + 6, row + 4), cv2.FONT_HERSHEY_SIMPLEX,
                    0.35, (255, 255, 255), 1, cv2.LINE_AA)
    return canvas


def write_pfm(path, disparity):
    """The map as a greyscale PFM of little-endian floats, bottom row first; unmatched pixels
    are +inf, the PFM convention for an unknown disparity."""
    height, width = disparity.shape
    values = numpy.where(numpy.isnan(disparity), numpy.inf, disparity).astype("<f4")
    with open(path, "wb") as stream:
        stream.write(b"Pf\n%d %d\n-1.0\n" % (width, height))
        stream.write(numpy.flipud(values).tobytes())


def write_picture(path, picture):
    """Writes a picture, in the format its name's extension gives; ends the program if it
    cannot."""
    try:
        written = cv2.imwrite(path, picture)
    except cv2.error:
        sys.exit("stereo_disparity: cannot write %s: not a picture format OpenCV writes "
                 "(.png, .bmp, .jpg, ...)" % path)
    if not written:
        sys.exit("stereo_disparity: cannot write %s" % path)


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--rig", nargs=2, type=float, metavar=("X", "Y"), default=(0.7, 0.7),
                        help="where to place the rig (default: its start, 0.7 0.7)")
    parser.add_argument("--wall-y", type=float,
                        help="y of the wall's face that the rig looks at (needed without "
                             "--evaluate)")
    parser.add_argument("--evaluate", metavar="DATASET",
                        help="score the matcher against a recorded dataset's true disparity")
    parser.add_argument("--write-result", metavar="NAME",
                        help="with --evaluate, also write each sample's map as disp0NAME.pfm "
                             "(Middlebury's name for a result) for oculant-client record "
                             "--evaluate")
    parser.add_argument("--region", nargs=4, type=int, metavar=("X0", "Y0", "X1", "Y1"),
                        help="pixels (top-left inclusive, bottom-right exclusive) whose median is "
                             "measured (default: the middle half of the frame); with --evaluate, "
                             "the pixels scored (default: all)")
    parser.add_argument("--max-disparity", type=int, default=64,
                        help="search range of the matcher, a multiple of 16 (default 64)")
    parser.add_argument("--out", default="disparity.png",
                        help="the colour-mapped disparity map with its scale (default "
                             "disparity.png); the raw map goes beside it as a .pfm")
    parser.add_argument("--save-pair", metavar="PREFIX",
                        help="also write the pair as PREFIX-left.png and PREFIX-right.png")
    return parser.parse_args(argv)


def main(argv=None):
    args = parse_arguments(argv)
    if args.max_disparity <= 0 or args.max_disparity % 16:
        sys.exit("stereo_disparity: --max-disparity must be a positive multiple of 16")
    if args.write_result and not args.evaluate:
        sys.exit("stereo_disparity: --write-result goes with --evaluate")
    if args.write_result and not args.write_result.replace("-", "").replace("_", "").isalnum():
        sys.exit("stereo_disparity: --write-result takes a NAME of letters and digits")
    if args.evaluate:
        evaluate(args)
        return
    if args.out.lower().endswith(".pfm"):
        sys.exit("stereo_disparity: --out names the colour picture (.png, ...); the raw map "
                 "goes beside it as a .pfm")
    if args.wall_y is None:
        sys.exit("stereo_disparity: --wall-y is needed unless --evaluate is given")
    rig_x, rig_y = args.rig
    depth = args.wall_y - rig_y
    if depth <= 0:
        sys.exit("stereo_disparity: the wall must lie ahead of the rig (wall y > rig y)")

    try:
        with Bench() as bench:
            bench.set_position(rig_x, rig_y, scene=True)
            bench.set_heading(90.0, scene=True)
            # With their camera models: the scene may set the rig's field of view and baseline.
            left_capture, right_capture = bench.capture_stereo((rig_x, rig_y, 90.0))
    except BenchError as error:
        sys.exit("stereo_disparity: %s" % error)
    left_frame, right_frame = left_capture.colour, right_capture.colour
    if left_frame.width == 0 or left_frame.height == 0:
        sys.exit("stereo_disparity: the cameras sent empty frames (minimised windows?)")

    left, right = left_frame.to_array(), right_frame.to_array()
    if args.save_pair:
        write_picture(args.save_pair + "-left.png", left)
        write_picture(args.save_pair + "-right.png", right)
    disparity = disparity_map(left, right, args.max_disparity)
    write_picture(args.out, with_scale(colour_mapped(disparity, args.max_disparity),
                                       args.max_disparity))
    raw = os.path.splitext(args.out)[0] + ".pfm"
    try:
        write_pfm(raw, disparity)
    except OSError as error:
        sys.exit("stereo_disparity: cannot write %s: %s" % (raw, error.strerror))

    height, width = disparity.shape
    x0, y0, x1, y1 = args.region or (width // 4, height // 4, width * 3 // 4, height * 3 // 4)
    inside = disparity[y0:y1, x0:x1]
    valid = inside[~numpy.isnan(inside)]
    if valid.size == 0:
        sys.exit("stereo_disparity: no pixel of the region was matched")
    focal = left_capture.camera.focal_length
    baseline = right_capture.camera.eye_offset - left_capture.camera.eye_offset
    print("frames: %d x %d, focal length %.3f px" % (width, height, focal))
    print("region (%d, %d)-(%d, %d): %d of %d pixels matched"
          % (x0, y0, x1, y1, valid.size, inside.size))
    print("measured disparity: %.3f px (median), %.3f px (mean)"
          % (float(numpy.median(valid)), float(numpy.mean(valid))))
    print("predicted disparity: %.3f px (%.3f px x %g / depth %.3f)"
          % (focal * baseline / depth, focal, baseline, depth))
    print("disparity map: %s (colours and scale), %s (pixels)" % (args.out, raw))


if __name__ == "__main__":
    main()
