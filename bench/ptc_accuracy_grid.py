#!/usr/bin/env python3
"""Runs ptcfit on rawgen series of known truth and compares every figure with it.

    bench/ptc_accuracy_grid.py BUILD_DIR [--seeds N] [NAME ...]

One seed (the default): each case is printed figure by figure, fitted against
true, with a FAIL where it is outside the tolerance. With --seeds N each case
is shot N times (new noise and a new fixed pattern each time) and every figure
is summed up per colour: its mean error (bias) with the standard error of that
mean, the scatter of the errors, the standard error ptcfit stated (the root of
its mean square), and how many runs fall outside the tolerance. A bias that is
many of its own errors from 0 is a fault; a scatter near the stated error,
with failures, is the honest limit of that series.

The truth of the saturation point and of the linearity error depends on the
level grid: for each level the expected mean and temporal variance of a pixel
are integrated here from the sensor model (shot noise, read noise, full well,
knee, clip, PRNU), independently of ptcfit, and the level of largest expected
variance gives the full well the grid can show. Not part of `make test`: a
single pass takes about 15 s, --seeds 8 a few minutes."""
import json, math, subprocess, sys, tempfile

# name: (image side, rates R,G1,B,G2 in e-/s, rawgen sensor and series options, ptcfit options)
GRID = {
    "linear-14bit":   (512, "2000,4000,1500,4000", "--gain 0.5 --read-noise 5 --black 600 --prnu 1 --levels 20 "
                       "--spacing linear", "-W400"),
    "quiet-12bit-64": (128, "2000,4000,1500,4000", "--gain 0.2 --read-noise 1.5 --black 0 --white 4095 --levels 12 "
                       "--format tif", "-W64"),
    "dark-current":   (512, "2000,4000,1500,4000", "--gain 5 --read-noise 20 --black 1024 --dark-current 50 "
                       "--dark-per-level --levels 30 --spacing linear", "-W200"),
    "knee":           (512, "2000,4000,1500,4000", "--gain 1 --read-noise 3 --black 256 --white 4095 --knee 3500 "
                       "--levels 50 --spacing linear", "-W200"),
    "full-well":      (512, "2000,4000,1500,4000", "--gain 0.3 --read-noise 8 --black 512 --full-well 20000 "
                       "--stuck-count 40 --prnu 1 --levels 25 --spacing linear", "-W256"),
    "five-levels":    (1024, "2000,4000,1500,4000", "--gain 2 --read-noise 4 --black 1024 --levels 5", "-W1000"),
    "white-light":    (512, "5000,10000,4000,10000", "--gain 0.8 --read-noise 2.5 --black 128 --levels 40 "
                       "--spacing linear --exposures 0.05,2.2", "-W300"),
    "black0-loud":    (256, "2000,4000,1500,4000", "--gain 1 --read-noise 20 --black 0 --white 16383 --levels 16 "
                       "--spacing linear", "-W200"),
    "low-gain-64":    (128, "2000,4000,1500,4000", "--gain 0.2 --read-noise 6 --black 400 --prnu 1 --levels 30 "
                       "--spacing linear", "-W64"),
    "coarse-12bit-64": (128, "2000,4000,1500,4000", "--gain 5 --read-noise 20 --black 1024 --white 4095 --levels 5",
                        "-W64"),
    "hot-stuck":      (256, "2000,4000,1500,4000", "--gain 1 --read-noise 3 --black 256 --white 4095 --stuck-count 200 "
                       "--hot-count 50 --hot-current 500 --levels 20 --spacing linear", "-W200"),
}

# Tolerances: relative, or absolute with a unit.
TOLERANCE = {"K": 0.01, "read noise": 0.03, "full well": 0.01, "DR dB": ("abs", 0.3), "PRNU %": ("abs", 0.1),
             "dark current": 0.03, "LE %": ("abs", None)}

GH = [(-2.0201828705, 0.0199532421), (-0.9585724646, 0.3936193232), (0.0, 0.9453087205),
      (0.9585724646, 0.3936193232), (2.0201828705, 0.0199532421)]  # Gauss-Hermite, 5 points (sum w = sqrt(pi))


def pixel_moments(t, lam, s):
    """Expected mean and variance of one pixel's DN: a normal shot+read noise
    in electrons, the full well, the knee, rounding (as 1/12), the clips."""
    fw = s["full_well_e"] or float("inf")
    g, black, white, knee = s["gain_dn_per_e"], s["black_dn"], s["white_dn"], s["knee_dn"] or 0
    lam += s["dark_current_e_per_s"] * t
    sd_shot = math.sqrt(max(lam, 1e-9))
    m1 = m2 = wsum = 0.0
    steps = 80
    for i in range(steps + 1):                     # shot noise, +-6 sd, trapezoid weights
        z = -6 + 12 * i / steps
        ws = math.exp(-z * z / 2) * (0.5 if i in (0, steps) else 1)
        e = min(max(lam + sd_shot * z, 0), fw)
        for zr, wr in GH:                          # read noise
            v = black + g * (e + s["read_noise_e"] * math.sqrt(2) * zr)
            if knee and v > knee:
                v = knee + (white - knee) * -math.expm1(-(v - knee) / (white - knee))
            v = min(max(v, 0), white)
            w = ws * wr
            m1 += w * v
            m2 += w * v * v
            wsum += w
    mean = m1 / wsum
    var = m2 / wsum - mean * mean
    if black + 1 < mean < white - 1:
        var += 1 / 12
    return mean, var


def level_moments(t, lam, s):
    p = s["prnu_percent"] / 100
    if p == 0:
        return pixel_moments(t, lam, s)
    ms = [(w, *pixel_moments(t, lam * (1 + p * math.sqrt(2) * z), s)) for z, w in GH]
    ws = sum(w for w, _, _ in ms)
    return sum(w * m for w, m, _ in ms) / ws, sum(w * v for w, _, v in ms) / ws


def grid_truth(truth, plane):
    """The full well and the linearity error the level grid shows."""
    s = truth
    flats = [p for p in s["pairs"] if p["role"] == "flat"]
    moments = [level_moments(p["exposure_s"], p["signal_e"][plane], s) for p in flats]
    darks = [p for p in s["pairs"] if p["role"] == "dark"]
    # The dark of a flat's exposure when the plan has one per exposure, else the one dark pair's.
    dark = [level_moments(f["exposure_s"] if len(darks) > 1 else darks[0]["exposure_s"], 0.0, s)[0] for f in flats]
    top = max(range(len(flats)), key=lambda i: moments[i][1])
    reached = top < len(flats) - 1 and moments[-1][1] < 0.7 * moments[top][1]
    full_well = (moments[top][0] - dark[top]) / s["gain_dn_per_e"] if reached else None
    le = None
    if reached:
        net = [m[0] - d for m, d in zip(moments, dark)]
        sat = net[top]
        pts = [(f["exposure_s"], y) for f, y, i in zip(flats, net, range(len(net)))
               if 0.05 * sat <= y <= 0.95 * sat and i <= top]
        if len(pts) >= 3:
            n = len(pts); sx = sum(x for x, _ in pts); sy = sum(y for _, y in pts)
            sxx = sum(x * x for x, _ in pts); sxy = sum(x * y for x, y in pts)
            b = (n * sxy - sx * sy) / (n * sxx - sx * sx); a = (sy - b * sx) / n
            dev = [100 * (y - a - b * x) / (a + b * x) for x, y in pts]
            le = (max(dev) - min(dev)) / 2
    return full_well, le


def run(build, name, seed):
    """ptcfit on one series: (status, console, {colour: [(figure, value, truth, stderr, limit)]})."""
    size, rates, series, options = GRID[name]
    folder = tempfile.mkdtemp(prefix="ptcgrid-")
    cmd = [f"{build}/rawgen", "series", folder, "--width", str(size), "--height", str(size), "--rate", rates,
           "--seed", str(seed), "--pattern-seed", str(seed)] + series.split()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    out = subprocess.run([f"{build}/ptcfit", "--plan", f"{folder}/plan.csv", "-o", f"{folder}/out"] + options.split(),
                         capture_output=True, text=True)
    if out.returncode != 0:
        return out.returncode, out.stdout, folder, {}
    truth = json.load(open(f"{folder}/truth.json"))
    got = json.load(open(f"{folder}/out/PTC_results.json"))
    k = truth["gain_dn_per_e"]
    dark_t = [p for p in truth["pairs"] if p["role"] == "dark"][0]["exposure_s"]
    rows = {}
    for colour, plane in (("Red", 0), ("Green1", 1), ("Blue", 2), ("Green2", 3)):
        g = got[colour]
        fw, le = grid_truth(truth, plane)
        rn = truth["read_noise_e"]
        if not g["sigma_d_is_read_noise"]:
            rn = math.sqrt(rn * rn + truth["dark_current_e_per_s"] * dark_t)
        r = [("K", g["K"], k, g["K_stderr"], False),
             ("read noise", g["sigma_d"], rn, g["sigma_d_stderr"], g["sigma_d_upper_limit"]),
             ("full well", g["u_e_sat"], fw, g["u_e_sat_stderr"], False)]
        if fw and g["sigma_d"]:
            umin = 0.5 + math.sqrt(0.25 + rn * rn + 1 / (12 * k * k))
            r.append(("DR dB", g["dr_db"], 20 * math.log10(fw / umin), g["dr_stderr_db"], False))
        r.append(("PRNU %", g["prnu_percent"], truth["prnu_percent"], g["prnu_percent_stderr"], False))
        if truth["dark_current_e_per_s"]:
            r.append(("dark current", g["dark_current_e_per_s"], truth["dark_current_e_per_s"],
                      g["dark_current_e_per_s_stderr"], False))
        if le is not None:
            r.append(("LE %", g["linearity_error_percent"], le, g.get("linearity_error_percent_stderr"), False))
        rows[colour] = r
    return 0, out.stdout, folder, rows


def error_of(name, label, value, true):
    """The error in the tolerance's unit (relative or absolute) and whether it fails."""
    tol = TOLERANCE[label]
    if label == "K" and "-W64" in GRID[name][3]:
        tol = 0.025
    elif label == "K" and "--knee" in GRID[name][2]:
        tol = 0.03
    if isinstance(tol, tuple):
        # The linearity error of a linear sensor is the noise of the means:
        # printed, not judged.
        return value - true, tol[1] is not None and abs(value - true) > tol[1]
    return (value - true) / true, abs(value - true) > tol * abs(true)


def single(build, names):
    ok = True
    for name in names:
        status, console, folder, rows = run(build, name, 1)
        print(f"== {name}: status {status}  ({folder})")
        for line in console.splitlines():
            if line.startswith("Warning") or status:
                print("   " + line)
        ok = ok and status == 0
        for colour, figures in rows.items():
            for label, value, true, se, limit in figures:
                if value is None or true is None:
                    bad = (value is None) != (true is None)
                    ok = ok and not bad
                    print(f"   {colour:7s} {label:13s} {str(value):>12s} true {str(true):>12s}"
                          f"{'  <-- MISMATCH (null against value)' if bad else ''}")
                    continue
                err, bad = error_of(name, label, value, true)
                bad = bad and not limit and true != 0 or (bad and label == "PRNU %")
                ok = ok and not bad
                unit = "" if isinstance(TOLERANCE[label], tuple) else " %"
                scale = 1 if unit == "" else 100
                print(f"   {colour:7s} {label:13s} {value:12.5g} true {true:12.5g} ({scale * err:+8.3f}{unit})"
                      f"{' limit' if limit else ''}{'  <-- FAIL' if bad else ''}")
    return ok


def seeds(build, names, count):
    for name in names:
        print(f"== {name}: {count} seeds")
        table = {}  # (colour, label) -> [(err, stated, fails)]
        warnings = {}
        for seed in range(1, count + 1):
            status, console, folder, rows = run(build, name, seed)
            if status:
                print(f"   seed {seed}: status {status}: {console.strip().splitlines()[-1]}  ({folder})")
                continue
            for line in console.splitlines():
                if line.startswith("Warning"):
                    warnings[line[:90]] = warnings.get(line[:90], 0) + 1
            for colour, figures in rows.items():
                for label, value, true, se, limit in figures:
                    if value is None or true is None or limit:
                        continue
                    err, bad = error_of(name, label, value, true)
                    relative = not isinstance(TOLERANCE[label], tuple)
                    stated = (se / true if relative else se) if se is not None else float("nan")
                    table.setdefault((colour, label), []).append((err, stated, bad))
        print(f"   {'':7s} {'figure':13s} {'bias':>9s} {'+-':>7s} {'scatter':>8s} {'stated':>8s}  outside")
        for (colour, label), v in sorted(table.items(), key=lambda kv: (list(TOLERANCE).index(kv[0][1]), kv[0][0])):
            n = len(v)
            mean = sum(e for e, _, _ in v) / n
            sd = math.sqrt(sum((e - mean) ** 2 for e, _, _ in v) / (n - 1)) if n > 1 else float("nan")
            stated = math.sqrt(sum(s * s for _, s, _ in v) / n)
            fails = sum(b for _, _, b in v)
            scale, unit = (1, "  ") if isinstance(TOLERANCE[label], tuple) else (100, " %")
            print(f"   {colour:7s} {label:13s} {scale * mean:+9.3f} {scale * sd / math.sqrt(n):7.3f} "
                  f"{scale * sd:8.3f} {scale * stated:8.3f}{unit} {fails}/{n}")
        for text, times in warnings.items():
            print(f"   {times} x {text}")
    return True


if __name__ == "__main__":
    args = sys.argv[1:]
    build = args.pop(0) if args and not args[0].startswith("--") else "build"
    count = 0
    if args[:1] == ["--seeds"]:
        count = int(args[1])
        args = args[2:]
    names = args or list(GRID)
    ok = seeds(build, names, count) if count else single(build, names)
    sys.exit(0 if ok else 1)
