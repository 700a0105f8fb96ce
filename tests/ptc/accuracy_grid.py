#!/usr/bin/env python3
"""Runs ptcfit on rawgen series of known truth and prints fitted against true.

    tests/ptc/accuracy_grid.py BUILD_DIR [NAME ...]

The truth of the saturation point and of the linearity error depends on the
level grid: for each level the expected mean and temporal variance of a pixel
are integrated here from the sensor model (shot noise, read noise, full well,
knee, clip, PRNU), independently of ptcfit, and the level of largest expected
variance gives the full well the grid can show."""
import json, math, os, subprocess, sys, tempfile

# name: (rawgen sensor and series options, ptcfit options)
GRID = {
    "linear-14bit":   ("--gain 0.5 --read-noise 5 --black 600 --prnu 1 --levels 20 --spacing linear", "-W400"),
    "quiet-12bit-64": ("--gain 0.2 --read-noise 1.5 --black 0 --white 4095 --levels 12 --format tif", "-W64"),
    "dark-current":   ("--gain 5 --read-noise 20 --black 1024 --dark-current 50 --dark-per-level --levels 30 "
                       "--spacing linear", "-W200"),
    "knee":           ("--gain 1 --read-noise 3 --black 256 --white 4095 --knee 3500 --levels 50 --spacing linear",
                       "-W200"),
    "full-well":      ("--gain 0.3 --read-noise 8 --black 512 --full-well 20000 --stuck-count 40 --prnu 1 "
                       "--levels 25 --spacing linear", "-W256"),
    "five-levels":    ("--gain 2 --read-noise 4 --black 1024 --levels 5", "-W1000"),
    "white-light":    ("--gain 0.8 --read-noise 2.5 --black 128 --levels 40 --spacing linear "
                       "--exposures 0.05,2.2", "-W300"),
}
RATES = {"white-light": "5000,10000,4000,10000"}
SIZE = {"five-levels": 1024, "quiet-12bit-64": 128}

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
        pts = [(f["exposure_s"], y) for f, y, i in zip(flats, net, range(len(net))) if 0.05 * sat <= y <= 0.95 * sat and i <= top]
        if len(pts) >= 3:
            n = len(pts); sx = sum(x for x, _ in pts); sy = sum(y for _, y in pts)
            sxx = sum(x * x for x, _ in pts); sxy = sum(x * y for x, y in pts)
            b = (n * sxy - sx * sy) / (n * sxx - sx * sx); a = (sy - b * sx) / n
            dev = [100 * (y - a - b * x) / (a + b * x) for x, y in pts]
            le = (max(dev) - min(dev)) / 2
    return full_well, le


def run(build, name):
    series, options = GRID[name]
    folder = tempfile.mkdtemp(prefix="ptcgrid-")
    size = SIZE.get(name, 512)
    cmd = [f"{build}/rawgen", "series", folder, "--width", str(size), "--height", str(size),
           "--rate", RATES.get(name, "2000,4000,1500,4000")] + series.split()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    out = subprocess.run([f"{build}/ptcfit", "--plan", f"{folder}/plan.csv", "-o", f"{folder}/out"] + options.split(),
                         capture_output=True, text=True)
    truth = json.load(open(f"{folder}/truth.json"))
    print(f"== {name}: status {out.returncode}  ({folder})")
    if out.returncode != 0:
        print(out.stdout)
        return False
    warnings = [l for l in out.stdout.splitlines() if l.startswith("Warning")]
    for w in warnings:
        print("   " + w)
    got = json.load(open(f"{folder}/out/PTC_results.json"))
    k = truth["gain_dn_per_e"]
    small = "-W64" in options
    dark_t = [p for p in truth["pairs"] if p["role"] == "dark"][0]["exposure_s"]
    ok = True
    for colour, plane in (("Red", 0), ("Green1", 1), ("Blue", 2), ("Green2", 3)):
        g = got[colour]
        fw, le = grid_truth(truth, plane)
        rn = truth["read_noise_e"]
        if not g["sigma_d_is_read_noise"]:
            rn = math.sqrt(rn * rn + truth["dark_current_e_per_s"] * dark_t)
        rows = [("K", g["K"], k, 0.025 if small else (0.03 if truth["knee_dn"] else 0.01)),
                ("read noise", g["sigma_d"], rn, None if g["sigma_d_upper_limit"] else 0.03),
                ("full well", g["u_e_sat"], fw, 0.01)]
        if fw and g["sigma_d"]:
            umin = 0.5 + math.sqrt(0.25 + rn * rn + 1 / (12 * k * k))
            rows.append(("DR dB", g["dr_db"], 20 * math.log10(fw / umin), "0.3dB"))
        rows.append(("PRNU %", g["prnu_percent"], truth["prnu_percent"], "0.1pt"))
        if truth["dark_current_e_per_s"] and g["dark_current_e_per_s"] is not None:
            rows.append(("dark current", g["dark_current_e_per_s"], truth["dark_current_e_per_s"], 0.03))
        if le is not None:
            rows.append(("LE %", g["linearity_error_percent"], le, None))
        for label, value, true, tol in rows:
            if value is None or true is None:
                flag = "" if (value is None) == (true is None) else "  <-- MISMATCH (null against value)"
                ok = ok and not flag
                print(f"   {colour:7s} {label:13s} {str(value):>12s} true {str(true):>12s}{flag}")
                continue
            if tol == "0.3dB":
                bad = abs(value - true) > 0.3
            elif tol == "0.1pt":
                bad = abs(value - true) > 0.1
            else:
                bad = tol is not None and abs(value - true) > tol * abs(true)
            ok = ok and not bad
            rel = 100 * (value - true) / true if true else float("nan")
            print(f"   {colour:7s} {label:13s} {value:12.5g} true {true:12.5g} ({rel:+7.2f} %){'  <-- FAIL' if bad else ''}")
    return ok


if __name__ == "__main__":
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    names = sys.argv[2:] or list(GRID)
    results = {n: run(build, n) for n in names}
    print("\n".join(f"{'ok  ' if v else 'FAIL'} {n}" for n, v in results.items()))
    sys.exit(0 if all(results.values()) else 1)
