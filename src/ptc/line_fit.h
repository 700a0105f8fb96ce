// Straight-line fits by weighted least squares, each point weighted by the
// inverse square of its standard error.
#pragma once

#include <functional>
#include <vector>

struct LineFit {
    bool ok = false;
    double slope = 0;
    double intercept = 0;   // 0 for a fit through the origin
    double slope_se = 0;
    double intercept_se = 0;
    double covariance = 0;  // of slope and intercept
    double chi2 = 0;        // sum of squared residuals in standard errors
    int points = 0;
    int dof = 0;

    double at(double x) const { return intercept + slope * x; }
    // Standard error of the line's value at x.
    double se_at(double x) const;
};

// Through the origin (one parameter) or with an intercept (two). The
// parameters' standard errors come from the points' standard errors, widened
// by sqrt(chi2 / dof) when the points scatter more than those errors allow
// (a model that does not quite fit). Empty se: all points weigh alike and the
// errors come from the scatter alone.
LineFit fit_line(const std::vector<double>& x, const std::vector<double>& y, const std::vector<double>& se,
                 bool with_intercept);

// The standard error of f(values), from the values' standard errors, taken
// as independent, by numerical derivatives.
double propagated_se(const std::function<double(const std::vector<double>&)>& f, const std::vector<double>& values,
                     const std::vector<double>& se);
