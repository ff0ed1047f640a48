"""Reference implementation of the reduced- and full-resolution quality protocols.

Independent of the C++ engine: written from the definitions of the degradation, the 23-tap
interpolator and the metrics (ERGAS, SAM, Q, Q2n, SCC, D_lambda, D_s, QNR). Everything is
computed in float64 on the stored sample values. Images are numpy arrays shaped
(bands, rows, cols); a single band may be given as (rows, cols).

Only numpy is needed for the computations. The small readers at the end take the files the
tools write: TIFFs through GDAL's Python bindings, ENVI/raw band files directly.
"""

import math

import numpy as np

# Nyquist gains of the MS bands and of the pan, per sensor and band count.
SENSOR_GAINS = {
    ("worldview2", 4): ([0.35, 0.35, 0.35, 0.27], 0.11),
    ("worldview2", 8): ([0.35] * 7 + [0.27], 0.11),
    ("quickbird", 4): ([0.34, 0.32, 0.30, 0.22], 0.15),
    ("ikonos", 4): ([0.26, 0.28, 0.29, 0.28], 0.17),
    ("worldview3", 8): ([0.325, 0.355, 0.360, 0.350, 0.365, 0.360, 0.335, 0.315], 0.14),
    ("geoeye1", 4): ([0.23] * 4, 0.16),
}

MTF_TAPS = 41
MTF_HALO = MTF_TAPS // 2

# The 23-tap interpolator from the centre outwards (already doubled for zero insertion).
_INTERP_HALF = 2 * np.array([0.5, 0.305334091185, 0, -0.072698593239, 0, 0.021809577942, 0,
                             -0.005192756653, 0, 0.000807762146, 0, -0.000060081482])
INTERP23 = np.concatenate([_INTERP_HALF[:0:-1], _INTERP_HALF])
INTERP_PAD = 6


def sensor_gains(sensor, bands):
    """(MS gains list, pan gain) for a sensor and band count; 'generic' serves any count."""
    if sensor == "generic":
        return [0.30] * bands, 0.15
    key = (sensor, bands)
    if key not in SENSOR_GAINS:
        raise ValueError(f"no gains for sensor {sensor} with {bands} bands")
    gains, pan = SENSOR_GAINS[key]
    return list(gains), pan


def _bands(img):
    img = np.asarray(img, dtype=np.float64)
    return img[None] if img.ndim == 2 else img


# ---------------------------------------------------------------------------------------------
# Degradation
# ---------------------------------------------------------------------------------------------

def mtf_taps(gain, ratio):
    """41 samples of the Gaussian whose response at 1/(2R) cycles/pixel is `gain`, unit sum."""
    sigma = ratio * math.sqrt(-2.0 * math.log(gain)) / math.pi
    x = np.arange(MTF_TAPS, dtype=np.float64) - MTF_HALO
    taps = np.exp(-(x * x) / (2 * sigma * sigma))
    return taps / taps.sum()


def _filter_axis(a, taps, axis, step, offset, count):
    """Edge-replicated 1-D filter along `axis`, evaluated at offset + j*step, j < count."""
    a = np.moveaxis(a, axis, -1)
    padded = np.pad(a, [(0, 0)] * (a.ndim - 1) + [(MTF_HALO, MTF_HALO)], mode="edge")
    centres = offset + step * np.arange(count)
    out = np.zeros(a.shape[:-1] + (count,))
    for k in range(MTF_TAPS):
        out += taps[k] * padded[..., centres + k]
    return np.moveaxis(out, -1, axis)


def mtf_filter(band, gain, ratio, step=1, offset=0):
    """The sensor Gaussian of one band, separable, borders by edge replication; optionally
    evaluated only at offset + j*step on both axes."""
    taps = mtf_taps(gain, ratio)
    band = np.asarray(band, dtype=np.float64)
    rows = (band.shape[0] - offset + step - 1) // step
    cols = (band.shape[1] - offset + step - 1) // step
    out = _filter_axis(band, taps, 0, step, offset, rows)
    return _filter_axis(out, taps, 1, step, offset, cols)


def degrade(img, gains, ratio):
    """MTF filter each band with its gain, keep samples R//2 + j*R (no rounding)."""
    img = _bands(img)
    if isinstance(gains, (int, float)):
        gains = [gains] * img.shape[0]
    for side in img.shape[1:]:
        if side % ratio:
            raise ValueError("image sides must be multiples of the ratio")
    return np.stack([mtf_filter(b, g, ratio, ratio, ratio // 2) for b, g in zip(img, gains)])


def round_half_even(x):
    """Nearest integer, ties to even (numpy's rint)."""
    return np.rint(x)


def degrade_pair(pan, ms, sensor, ratio=4, rounded=True):
    """The Wald protocol's reduced pair: (pan', ms') from (pan, ms); rounded for integer tools."""
    ms = _bands(ms)
    gains, pan_gain = sensor_gains(sensor, ms.shape[0])
    p = degrade(pan, pan_gain, ratio)[0]
    m = degrade(ms, gains, ratio)
    if rounded:
        p, m = round_half_even(p), round_half_even(m)
    return p, m


# ---------------------------------------------------------------------------------------------
# 23-tap upsampling
# ---------------------------------------------------------------------------------------------

def _upsample2_axis(a, axis, phase):
    a = np.moveaxis(a, axis, -1)
    n = a.shape[-1]
    padded = np.pad(a, [(0, 0)] * (a.ndim - 1) + [(INTERP_PAD, INTERP_PAD)], mode="symmetric")
    zeros = np.zeros(a.shape[:-1] + (2 * padded.shape[-1],))
    zeros[..., phase::2] = padded
    half = len(INTERP23) // 2
    full = np.pad(zeros, [(0, 0)] * (a.ndim - 1) + [(half, half)])
    out = np.zeros_like(zeros)
    for k, t in enumerate(INTERP23):
        if t != 0:
            out += t * full[..., k:k + zeros.shape[-1]]
    out = out[..., 2 * INTERP_PAD:2 * INTERP_PAD + 2 * n]
    return np.moveaxis(out, -1, axis)


def upsample23(img, ratio):
    """23-tap interpolation by a power of two; MS sample j lands on fine sample R*j + R//2."""
    img = _bands(img)
    if ratio < 2 or ratio & (ratio - 1):
        raise ValueError("ratio must be a power of two")
    out = img
    phase = 1
    r = ratio
    while r > 1:
        out = _upsample2_axis(out, 1, phase)
        out = _upsample2_axis(out, 2, phase)
        phase = 0
        r //= 2
    return out


# ---------------------------------------------------------------------------------------------
# Reduced-resolution metrics
# ---------------------------------------------------------------------------------------------

def ergas(f, g, ratio):
    f, g = _bands(f), _bands(g)
    mse = ((f - g) ** 2).mean(axis=(1, 2))
    mean = g.mean(axis=(1, 2))
    return 100.0 / ratio * math.sqrt(np.mean(mse / mean ** 2))


def sam(f, g):
    """Mean spectral angle in degrees over pixels where both vectors are non-zero."""
    f, g = _bands(f), _bands(g)
    nf = np.sqrt((f * f).sum(axis=0))
    ng = np.sqrt((g * g).sum(axis=0))
    valid = nf * ng != 0
    u = f[:, valid] / nf[valid]
    v = g[:, valid] / ng[valid]
    angle = 2 * np.arctan2(np.sqrt(((u - v) ** 2).sum(axis=0)), np.sqrt(((u + v) ** 2).sum(axis=0)))
    return math.degrees(angle.mean()) if angle.size else float("nan")


def _blocks(a, size):
    """(…, rows, cols) -> (…, by, bx, size*size) over whole blocks only."""
    by, bx = a.shape[-2] // size, a.shape[-1] // size
    a = a[..., :by * size, :bx * size]
    a = a.reshape(a.shape[:-2] + (by, size, bx, size))
    a = np.moveaxis(a, -3, -2)
    return a.reshape(a.shape[:-2] + (size * size,))


def q_index_blocks(x, y, size=32):
    """Per-block universal quality index of two single bands (whole blocks)."""
    bx, byy = _blocks(np.asarray(x, float), size), _blocks(np.asarray(y, float), size)
    n = size * size
    mx, my = bx.mean(-1), byy.mean(-1)
    vx = ((bx - mx[..., None]) ** 2).sum(-1) / (n - 1)
    vy = ((byy - my[..., None]) ** 2).sum(-1) / (n - 1)
    sxy = ((bx - mx[..., None]) * (byy - my[..., None])).sum(-1) / (n - 1)
    var = vx + vy
    means = mx * mx + my * my
    with np.errstate(divide="ignore", invalid="ignore"):
        q = 4 * sxy * mx * my / (var * means)
        q = np.where(var == 0, 2 * mx * my / means, q)
        q = np.where(means == 0, 2 * sxy / var, q)
        q = np.where((var == 0) & (means == 0), 1.0, q)
    return q


def q_index(f, g, size=32):
    """Q per band (list) and their mean."""
    f, g = _bands(f), _bands(g)
    per = [float(q_index_blocks(fb, gb, size).mean()) for fb, gb in zip(f, g)]
    return float(np.mean(per)), per


def _conj(x):
    y = x.copy()
    y[1:] = -y[1:]
    return y


def cd_product(x, y):
    """Cayley-Dickson product of 2^k-component numbers along axis 0 (vectorised over the rest):
    (a,b)(c,d) = (ac - d*b, da + bc*)."""
    n = x.shape[0]
    if n == 1:
        return x * y
    h = n // 2
    a, b, c, d = x[:h], x[h:], y[:h], y[h:]
    first = cd_product(a, c) - cd_product(_conj(d), b)
    second = cd_product(d, a) + cd_product(b, _conj(c))
    return np.concatenate([first, second])


def q2n_blocks(f, g, size=32):
    """Per-block Q2n (shift = size), the image mirror-padded bottom/right to whole blocks."""
    f, g = _bands(f), _bands(g)
    bands, rows, cols = g.shape
    pr, pc = (-rows) % size, (-cols) % size
    if pr or pc:
        f = np.pad(f, ((0, 0), (0, pr), (0, pc)), mode="symmetric")
        g = np.pad(g, ((0, 0), (0, pr), (0, pc)), mode="symmetric")
    n = 1
    while n < bands:
        n *= 2
    fb, gb = _blocks(f, size), _blocks(g, size)  # (bands, by, bx, S)
    pixels = size * size
    mean = gb.mean(-1, keepdims=True)
    sq = ((gb - mean) ** 2).sum(-1, keepdims=True)
    dev = np.where(sq == 0, 1.0, np.sqrt(sq / (pixels - 1)))
    gp = (gb - mean) / dev + 1
    fp = (fb - mean) / dev + 1
    if n > bands:
        z = np.zeros((n - bands,) + gp.shape[1:])
        gp, fp = np.concatenate([gp, z]), np.concatenate([fp, z])
    mu_g = gp.mean(-1)
    mu_f = fp.mean(-1)
    norm_g2 = (mu_g ** 2).sum(0)
    norm_f2 = (mu_f ** 2).sum(0)
    unbiased = pixels / (pixels - 1)
    v_g = unbiased * ((gp ** 2).sum(0).mean(-1) - norm_g2)
    v_f = unbiased * ((fp ** 2).sum(0).mean(-1) - norm_f2)
    cross = cd_product(gp, _conj(fp)).mean(-1)
    c_gf = unbiased * (cross - cd_product(mu_g, _conj(mu_f)))
    mean_factor = 2 * np.sqrt(norm_g2) * np.sqrt(norm_f2) / (norm_g2 + norm_f2)
    with np.errstate(divide="ignore", invalid="ignore"):
        q = mean_factor * (2 / (v_g + v_f)) * c_gf
        value = np.sqrt((q ** 2).sum(0))
    return np.where(v_g + v_f == 0, np.abs(mean_factor), value)


def q2n(f, g, size=32):
    return float(q2n_blocks(f, g, size).mean())


def _sobel(b):
    sx = (b[:-2, 2:] + 2 * b[1:-1, 2:] + b[2:, 2:]) - (b[:-2, :-2] + 2 * b[1:-1, :-2] + b[2:, :-2])
    sy = (b[2:, :-2] + 2 * b[2:, 1:-1] + b[2:, 2:]) - (b[:-2, :-2] + 2 * b[:-2, 1:-1] + b[:-2, 2:])
    return np.sqrt(sx * sx + sy * sy)


def scc(f, g):
    f, g = _bands(f), _bands(g)
    gf = np.stack([_sobel(b) for b in f])
    gg = np.stack([_sobel(b) for b in g])
    return float((gf * gg).sum() / (math.sqrt((gf * gf).sum()) * math.sqrt((gg * gg).sum())))


def reduced_metrics(f, g, ratio):
    """ERGAS, SAM, Q2n, Q, SCC and Q per band of fused f against reference g."""
    q, per = q_index(f, g)
    return {"ERGAS": ergas(f, g, ratio), "SAM": sam(f, g), "Q2n": q2n(f, g), "Q": q,
            "SCC": scc(f, g), "Q_bands": per}


# ---------------------------------------------------------------------------------------------
# No data: the reduced-resolution metrics over the valid pixels and blocks only
# ---------------------------------------------------------------------------------------------

def valid_pixels(*images, nodata=None):
    """True where every band of every image holds a number other than its no-data value."""
    valid = None
    for img in images:
        img = _bands(img)
        ok = ~np.isnan(img).any(axis=0)
        if nodata is not None:
            ok &= ~(img == nodata).any(axis=0)
        valid = ok if valid is None else valid & ok
    return valid


def _whole_valid_blocks(valid, size):
    """Per whole block: True when every pixel of the block is valid."""
    return _blocks(valid.astype(np.float64), size).min(-1) == 1


def reduced_metrics_masked(f, g, ratio, valid, size=32):
    """The reduced-resolution metrics where `valid` (rows, cols) marks the pixels that take part:
    ERGAS and SAM over valid pixels; Q over whole blocks holding no invalid pixel; Q2n over the
    blocks of the mirror-padded image holding no invalid pixel (blocks_used of blocks_total);
    SCC over pixels whose 3 x 3 window holds no invalid pixel."""
    f, g = _bands(f), _bands(g)
    fv, gv = f[:, valid], g[:, valid]
    mse = ((fv - gv) ** 2).mean(axis=1)
    mean = gv.mean(axis=1)
    result = {"ERGAS": 100.0 / ratio * math.sqrt(np.mean(mse / mean ** 2))}
    nf = np.sqrt((f * f).sum(axis=0))
    ng = np.sqrt((g * g).sum(axis=0))
    ok = valid & (nf * ng != 0)
    u, v = f[:, ok] / nf[ok], g[:, ok] / ng[ok]
    angle = 2 * np.arctan2(np.sqrt(((u - v) ** 2).sum(axis=0)), np.sqrt(((u + v) ** 2).sum(axis=0)))
    result["SAM"] = math.degrees(angle.mean()) if angle.size else float("nan")
    whole = _whole_valid_blocks(valid, size)
    per = [float(q_index_blocks(np.nan_to_num(fb), np.nan_to_num(gb), size)[whole].mean())
           for fb, gb in zip(f, g)]
    result["Q"], result["Q_bands"] = float(np.mean(per)), per
    rows, cols = valid.shape
    pr, pc = (-rows) % size, (-cols) % size
    padded = np.pad(valid, ((0, pr), (0, pc)), mode="symmetric")
    used = _whole_valid_blocks(padded, size)
    q2 = q2n_blocks(np.nan_to_num(f), np.nan_to_num(g), size)
    result["Q2n"] = float(q2[used].mean())
    result["blocks_used"], result["blocks_total"] = int(used.sum()), int(used.size)
    window = np.ones((rows - 2, cols - 2), dtype=bool)
    for dy in range(3):
        for dx in range(3):
            window &= valid[dy:dy + rows - 2, dx:dx + cols - 2]
    gf = np.stack([_sobel(np.nan_to_num(b)) for b in f])[:, window]
    gg = np.stack([_sobel(np.nan_to_num(b)) for b in g])[:, window]
    result["SCC"] = float((gf * gg).sum() / (math.sqrt((gf * gf).sum()) * math.sqrt((gg * gg).sum())))
    return result


# ---------------------------------------------------------------------------------------------
# Full-resolution metrics
# ---------------------------------------------------------------------------------------------

def full_metrics(f, ms, pan, ratio, pan_gain):
    f, ms = _bands(f), _bands(ms)
    pan = np.asarray(pan, dtype=np.float64)
    mt = upsample23(ms, ratio)
    n = f.shape[0]
    d_l = 0.0
    for i in range(n):
        for j in range(i + 1, n):
            d_l += abs(q_index_blocks(f[i], f[j]).mean() - q_index_blocks(mt[i], mt[j]).mean())
    d_l *= 2.0 / (n * (n - 1))
    pt = upsample23(degrade(pan, pan_gain, ratio), ratio)[0]
    d_s = np.mean([abs(q_index_blocks(f[i], pan).mean() - q_index_blocks(mt[i], pt).mean())
                   for i in range(n)])
    return {"D_lambda": float(d_l), "D_s": float(d_s), "QNR": float((1 - d_l) * (1 - d_s))}


# ---------------------------------------------------------------------------------------------
# Files
# ---------------------------------------------------------------------------------------------

def read_tiff(path):
    """A TIFF the tools wrote -> (bands, rows, cols), read through GDAL."""
    from osgeo import gdal
    data = gdal.Open(path).ReadAsArray().astype(np.float64)
    return data[None] if data.ndim == 2 else data


def read_raw(path, width, height, bands=1, dtype="<i2"):
    a = np.fromfile(path, dtype=dtype, count=width * height * bands)
    return a.reshape(bands, height, width).astype(np.float64)


def read_envi(path):
    """An ENVI BSQ .img with its .hdr beside it -> (bands, rows, cols)."""
    hdr = open(path[:-4] + ".hdr").read()
    fields = {}
    for line in hdr.splitlines():
        if "=" in line:
            k, v = line.split("=", 1)
            fields[k.strip()] = v.strip()
    dtype = {"1": "u1", "2": "<i2", "12": "<u2", "4": "<f4", "5": "<f8"}[fields["data type"]]
    return read_raw(path, int(fields["samples"]), int(fields["lines"]), int(fields["bands"]),
                    dtype)


def write_envi(path, img, dtype="<i2", nodata=None):
    """Writes (bands, rows, cols) as ENVI BSQ; integer types are rounded (ties to even) and
    clipped to the type; nodata, when given, is declared as the data ignore value."""
    img = _bands(img)
    code = {"<i2": 2, "u1": 1, "<f4": 4, "<f8": 5, "<u2": 12}[dtype]
    if np.dtype(dtype).kind in "iu":
        info = np.iinfo(np.dtype(dtype))
        img = np.clip(np.rint(img), info.min, info.max)
    img.astype(dtype).tofile(path)
    with open(path[:-4] + ".hdr", "w") as h:
        h.write(f"ENVI\ndescription = {{\n{path}}}\nsamples = {img.shape[2]}\n"
                f"lines   = {img.shape[1]}\nbands   = {img.shape[0]}\nheader offset = 0\n"
                f"file type = ENVI Standard\ndata type = {code}\ninterleave = bsq\n"
                f"byte order = 0\n")
        if nodata is not None:
            h.write(f"data ignore value = {nodata}\n")
