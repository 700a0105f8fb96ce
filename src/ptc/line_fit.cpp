#include "ptc/line_fit.h"

#include <cmath>

double LineFit::se_at(double x) const
{
    const double v = intercept_se * intercept_se + 2 * x * covariance + x * x * slope_se * slope_se;
    return std::sqrt(std::max(v, 0.0));
}

LineFit fit_line(const std::vector<double>& x, const std::vector<double>& y, const std::vector<double>& se,
                 bool with_intercept)
{
    LineFit fit;
    const size_t n = x.size();
    const bool plain = se.empty();
    auto weight = [&](size_t i) { return plain ? 1.0 : 1.0 / (se[i] * se[i]); };
    double sw = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < n; ++i) {
        const double w = weight(i);
        if (!std::isfinite(w))
            return fit;
        sw += w;
        sx += w * x[i];
        sy += w * y[i];
        sxx += w * x[i] * x[i];
        sxy += w * x[i] * y[i];
    }
    fit.points = static_cast<int>(n);
    fit.dof = fit.points - (with_intercept ? 2 : 1);
    if (fit.dof < 0 || n == 0)
        return fit;
    double var_slope = 0, var_intercept = 0, cov = 0;
    if (with_intercept) {
        const double det = sw * sxx - sx * sx;
        if (!(det > 0))
            return fit;
        fit.slope = (sw * sxy - sx * sy) / det;
        fit.intercept = (sxx * sy - sx * sxy) / det;
        var_slope = sw / det;
        var_intercept = sxx / det;
        cov = -sx / det;
    } else {
        if (!(sxx > 0))
            return fit;
        fit.slope = sxy / sxx;
        var_slope = 1.0 / sxx;
    }
    for (size_t i = 0; i < n; ++i) {
        const double r = y[i] - fit.at(x[i]);
        fit.chi2 += weight(i) * r * r;
    }
    // Known errors: widen only when the scatter exceeds them; unknown: the
    // scatter is the only measure.
    double scale = 1.0;
    if (fit.dof > 0) {
        const double reduced = fit.chi2 / fit.dof;
        scale = plain ? reduced : std::max(reduced, 1.0);
    } else if (plain) {
        scale = 0.0;
    }
    fit.slope_se = std::sqrt(var_slope * scale);
    fit.intercept_se = std::sqrt(var_intercept * scale);
    fit.covariance = cov * scale;
    fit.ok = true;
    return fit;
}

double propagated_se(const std::function<double(const std::vector<double>&)>& f, const std::vector<double>& values,
                     const std::vector<double>& se)
{
    double total = 0;
    std::vector<double> v = values;
    for (size_t i = 0; i < values.size(); ++i) {
        if (!(se[i] > 0))
            continue;
        const double h = se[i] * 1e-3;
        v[i] = values[i] + h;
        const double up = f(v);
        v[i] = values[i] - h;
        const double down = f(v);
        v[i] = values[i];
        const double d = (up - down) / (2 * h) * se[i];
        total += d * d;
    }
    return std::sqrt(total);
}
