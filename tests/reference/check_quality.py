#!/usr/bin/env python3
"""lumesta-cli's quality tools against the independent numpy reference (quality_reference.py) on
the eight-band WorldView-2 scene: reduced-resolution metrics of an eight-band fusion, the same
with no data declared in the files, three bands on partial blocks, full-resolution metrics (also
at ratios 2 and 8), and the degraded scene (also a narrow one at ratio 2).

usage: check_quality.py LUMESTA_CLI SCENES_FOLDER
Exit 0 when every number agrees, 1 when one does not, 77 (skipped) without numpy, GDAL's Python
bindings or the scene.
"""
import json
import os
import subprocess
import sys
import tempfile

try:
    import numpy as np
    from osgeo import gdal  # noqa: F401 (the reference reads the tools' TIFFs through it)
except ImportError:
    print("numpy or GDAL's Python bindings are not installed: skipped")
    sys.exit(77)

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import quality_reference as ref  # noqa: E402

CLI = sys.argv[1]
SCENES = os.environ.get("LUMESTA_SCENES", sys.argv[2])
ENVI8 = os.path.join(SCENES, "ps16", "envi8")
if not os.path.isfile(os.path.join(ENVI8, "ms8.img")):
    print(f"{ENVI8} holds no eight-band scene: skipped")
    sys.exit(77)

failures = []


def run(*args):
    done = subprocess.run([CLI, *args, "--quiet", "--format", "json"], capture_output=True,
                          text=True)
    if done.returncode != 0:
        failures.append(f"{' '.join(args[:2])}: exit {done.returncode}: {done.stderr.strip()}")
        return {}
    return json.loads(done.stdout.strip().splitlines()[0])


def compare(case, got, expected, tolerance=1e-12):
    for key, value in expected.items():
        have = got.get(key)
        if isinstance(value, list):
            pairs = list(zip(have or [], value))
            ok = have is not None and len(have) == len(value) and all(
                abs(a - b) <= tolerance * max(1.0, abs(b)) for a, b in pairs)
        elif isinstance(value, int):
            ok = have == value
        else:
            ok = have is not None and abs(have - value) <= tolerance * max(1.0, abs(value))
        if not ok:
            failures.append(f"{case}: {key} is {have}, the reference gives {value}")


ms = ref.read_envi(os.path.join(ENVI8, "ms8.img"))
pan = ref.read_envi(os.path.join(ENVI8, "pan.img"))
with tempfile.TemporaryDirectory() as work:
    # An eight-band "fusion": the MS with a band-dependent gain, offset and a deterministic ripple.
    bands, rows, cols = ms.shape
    yy, xx = np.mgrid[0:rows, 0:cols]
    fused = np.stack([ms[k] * (1 + 0.01 * k) + 3 * np.sin(0.3 * xx + 0.2 * yy + k) + k
                      for k in range(bands)])
    fused = np.rint(fused)
    ref.write_envi(os.path.join(work, "f.img"), fused)
    got = run("quality", "reduced", "--fused", os.path.join(work, "f.img"), "--reference",
              os.path.join(ENVI8, "ms8.img"), "--ratio", "4")
    compare("reduced, 8 bands", got, ref.reduced_metrics(fused, ms, 4))
    # Three bands (Q2n pads them to four) on partial blocks at the right and the bottom.
    f3, g3 = fused[:3, :150, :180], ms[:3, :150, :180]
    ref.write_envi(os.path.join(work, "f3.img"), f3)
    ref.write_envi(os.path.join(work, "g3.img"), g3)
    got = run("quality", "reduced", "--fused", os.path.join(work, "f3.img"), "--reference",
              os.path.join(work, "g3.img"), "--ratio", "4")
    compare("reduced, 3 bands, partial blocks", got, ref.reduced_metrics(f3, g3, 4))

    # No data declared in both files: a frame on the left, a hole, scattered pixels.
    holes = np.zeros((rows, cols), dtype=bool)
    holes[:, :37] = True
    holes[60:75, 100:140] = True
    holes[[10, 130, 150], [170, 90, 45]] = True
    f0, g0 = fused.copy(), ms.copy()
    f0[:, holes] = 0
    g0[:, holes[::-1, ::-1]] = 0  # the reference's own no data elsewhere
    ref.write_envi(os.path.join(work, "f0.img"), f0, nodata=0)
    ref.write_envi(os.path.join(work, "g0.img"), g0, nodata=0)
    valid = ref.valid_pixels(f0, g0, nodata=0)
    got = run("quality", "reduced", "--fused", os.path.join(work, "f0.img"), "--reference",
              os.path.join(work, "g0.img"), "--ratio", "4")
    compare("reduced, 8 bands with no data", got, ref.reduced_metrics_masked(f0, g0, 4, valid))

    # Full resolution: the 23-tap upsampled MS with the ripple as the fusion.
    up = np.rint(ref.upsample23(ms, 4) + 2 * np.sin(0.1 * np.arange(pan.shape[-1])))
    ref.write_envi(os.path.join(work, "up.img"), up)
    got = run("quality", "full", "--fused", os.path.join(work, "up.img"), "--ms",
              os.path.join(ENVI8, "ms8.img"), "--pan", os.path.join(ENVI8, "pan.img"),
              "--ratio", "4", "--sensor", "worldview2")
    gains, pan_gain = ref.sensor_gains("worldview2", bands)
    compare("full, 8 bands", got, ref.full_metrics(up, ms, pan[0], 4, pan_gain))
    # Partial blocks (an MS of 45 x 37 under a pan of 180 x 148), and the 23-tap upsampling and
    # the pan's Gaussian at ratios 2 and 8 on small images.
    for r, m4, p4 in ((4, ms[:4, :37, :45], pan[:, :148, :180]),
                      (2, ms[:3, :32, :32], ms[3:4, :64, :64]),
                      (8, ms[:3, :8, :8], ms[3:4, :64, :64])):
        u4 = np.rint(ref.upsample23(m4, r) + 2 * np.sin(0.1 * np.arange(p4.shape[-1])))
        for name, image in (("m4.img", m4), ("p4.img", p4), ("u4.img", u4)):
            ref.write_envi(os.path.join(work, name), image)
        got = run("quality", "full", "--fused", os.path.join(work, "u4.img"), "--ms",
                  os.path.join(work, "m4.img"), "--pan", os.path.join(work, "p4.img"), "--ratio",
                  str(r), "--sensor", "generic")
        compare(f"full, ratio {r}, {m4.shape[0]} bands of {m4.shape[2]} x {m4.shape[1]}", got,
                ref.full_metrics(u4, m4, p4[0], r, ref.sensor_gains("generic", 4)[1]))

    # The degraded scene the protocol fuses, rounded as the files hold it; and at ratio 2 a pan
    # narrower than the 41-tap Gaussian.
    ref.write_envi(os.path.join(work, "p2.img"), ms[0, :36, :40])
    ref.write_envi(os.path.join(work, "m2.img"), ms[1:4, :18, :20])
    for case, p_in, m_in, sensor, r in (
            ("scene", pan, ms, "worldview2", 4),
            ("narrow", ms[0, :36, :40], ms[1:4, :18, :20], "generic", 2)):
        out = os.path.join(work, "degraded_" + case)
        files = ((os.path.join(ENVI8, "pan.img"), os.path.join(ENVI8, "ms8.img")) if case == "scene"
                 else (os.path.join(work, "p2.img"), os.path.join(work, "m2.img")))
        done = subprocess.run([CLI, "degrade", "--pan", files[0], "--ms", files[1], "--sensor",
                               sensor, "--ratio", str(r), "--out", out, "--quiet"],
                              capture_output=True, text=True)
        if done.returncode != 0:
            failures.append(f"degrade {case}: exit {done.returncode}: {done.stderr.strip()}")
            continue
        p, m = ref.degrade_pair(p_in, m_in, sensor, r)
        for name, expected in (("pan.tif", p[None]), ("ms.tif", m)):
            have = ref.read_tiff(os.path.join(out, name))
            if have.shape != expected.shape or not np.array_equal(have, expected):
                failures.append(f"degrade {case}: {name} differs from the reference")

for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
