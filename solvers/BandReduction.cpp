#include "BandReduction.h"

#include <algorithm>
#include <cmath>

namespace numerics {

void BandTimes(const CSymBand& a, const double* x, double* y) {
    const int n = a.Size(), width = a.Width();
    std::fill(y, y + n, 0.0);
    for (int j = 0; j < n; ++j) {
        const double* col = a.Column(j);
        const int last = std::min(n - 1, j + width) - j;
        const double xj = x[j];
        for (int t = 1; t <= last; ++t) y[j + t] += col[t] * xj;
        // The row's part above the diagonal in SIMD lanes (a plain loop's sum stays scalar).
        y[j] += col[0] * xj + Eigen::Map<const Eigen::VectorXd>(col + 1, last).dot(
                                  Eigen::Map<const Eigen::VectorXd>(x + j + 1, last));
    }
}

namespace {

// The plane rotation on indices (p, p + 1) applied from both sides, a <- R a R^T with
// R = [c s; -s c] in that plane; rows <- rows R^T. jlo is the first column that can hold a
// nonzero in rows p, p + 1 left of the diagonal, ihi the last row that can below it.
void Rotate(CSymBand& a, int p, double c, double s, int jlo, int ihi, CCarriedRows* rows) {
    const int q = p + 1;
    const int ld = a.Width() + 1;
    double* data = a.Column(0);
    for (int j = jlo; j < p; ++j) {
        double* col = data + static_cast<size_t>(j) * ld;
        const double x = col[p - j], y = col[q - j];
        col[p - j] = c * x + s * y;
        col[q - j] = c * y - s * x;
    }
    {
        double* cp = a.Column(p);
        double* cq = a.Column(q);
        const double app = cp[0], aqp = cp[1], aqq = cq[0];
        const double cc = c * c, ss = s * s, cs = c * s;
        cp[0] = cc * app + 2.0 * cs * aqp + ss * aqq;
        cq[0] = ss * app - 2.0 * cs * aqp + cc * aqq;
        cp[1] = cs * (aqq - app) + (cc - ss) * aqp;
        // Rows below: a(i, p) at cp[i - p], a(i, q) at cq[i - q].
        double* xp = cp + 2;
        double* yq = cq + 1;
        const int count = ihi - q;
        for (int k = 0; k < count; ++k) {
            const double x = xp[k], y = yq[k];
            xp[k] = c * x + s * y;
            yq[k] = c * y - s * x;
        }
    }
    if (rows) {
        for (int r = 0; r < rows->count; ++r) {
            const double x = rows->rows(r, p), y = rows->rows(r, q);
            rows->rows(r, p) = c * x + s * y;
            rows->rows(r, q) = c * y - s * x;
        }
    }
}

// Rotates (p, p + 1) so that a(p + 1, column) becomes zero.
void Annihilate(CSymBand& a, int p, int column, int jlo, int ihi, CCarriedRows* rows) {
    const double x = a(p, column), y = a(p + 1, column);
    const double r = std::sqrt(x * x + y * y);
    Rotate(a, p, x / r, y / r, jlo, ihi, rows);
    a(p + 1, column) = 0.0;
}

// After a rotation on (p, p + 1) of a matrix of half-width ka, the one entry outside the band
// is a(p + ka + 1, p); rotations further down move it off the end.
void Chase(CSymBand& a, int ka, int p, CCarriedRows* rows) {
    const int n = a.Size();
    for (int r = p + ka + 1; r < n; r = p + ka + 1) {
        if (a(r, p) == 0.0) return;
        Annihilate(a, r - 1, p, p, std::min(n - 1, r + ka), rows);
        p = r - 1;
    }
}

}  // namespace

bool FactorFromBottom(const CSymBand& m, int kb, CSymBand& uT) {
    const int n = m.Size();
    uT.Resize(n, kb);
    for (int j = n - 1; j >= 0; --j) {
        const int last = std::min(n - 1, j + kb);
        double diag = m.Get(j, j);
        for (int k = j + 1; k <= last; ++k) diag -= uT(k, j) * uT(k, j);
        if (!(diag > 0)) return false;
        const double ujj = std::sqrt(diag);
        uT(j, j) = ujj;
        for (int i = j - 1; i >= std::max(0, j - kb); --i) {
            double v = m.Get(i, j);
            for (int k = j + 1; k <= std::min(n - 1, i + kb); ++k) v -= uT(k, i) * uT(k, j);
            uT(j, i) = v / ujj;
        }
    }
    return true;
}

void ReduceToStandard(CSymBand& a, int ka, const CSymBand& uT, int kb, CCarriedRows* rows) {
    const int n = a.Size();
    const int width = a.Width();
    std::vector<double> g(kb + 1), row(2 * ka + 1);
    for (int i = n - 1; i >= 0; --i) {
        // a <- U_i^-1 a U_i^-T, U_i the identity but for column i of U: rows s0..i-1 lose g times
        // row i, row i is divided by u; the same for the columns.
        const double u = uT(i, i);
        const int s0 = std::max(0, i - kb);
        for (int p = s0; p < i; ++p) g[p - s0] = uT(i, p) / u;
        const int lo = std::max(0, i - ka), hi = std::min(n - 1, i + ka);
        for (int q = lo; q <= hi; ++q) row[q - lo] = a.Get(i, q);  // row i before the step
        const double aii = row[i - lo];
        for (int p = s0; p < i; ++p) {
            const double gp = g[p - s0];
            for (int q = lo; q < s0; ++q) a(p, q) -= gp * row[q - lo];
            for (int q = s0; q <= p; ++q)
                a(p, q) += -gp * row[q - lo] - g[q - s0] * row[p - lo] + gp * g[q - s0] * aii;
            a(i, p) = (row[p - lo] - gp * aii) / u;
            for (int q = i + 1; q <= hi; ++q) a(q, p) -= gp * row[q - lo];
        }
        for (int q = lo; q < s0; ++q) a(i, q) = row[q - lo] / u;
        a(i, i) = aii / (u * u);
        for (int q = i + 1; q <= hi; ++q) a(q, i) = row[q - lo] / u;
        if (rows) {
            for (int r = 0; r < rows->count; ++r) {
                const double ri = rows->rows(r, i);
                for (int p = s0; p < i; ++p) rows->rows(r, p) -= g[p - s0] * ri;
                rows->rows(r, i) = ri / u;
            }
        }
        // The bulge: columns s0..i-1 reach down to row i + ka. Indices from i on are in
        // standard form already (M is the identity there), so rotations among them keep it.
        for (int c = s0; c < i; ++c) {
            for (int q = std::min(n - 1, c + width); q > c + ka; --q) {
                if (a(q, c) == 0.0) continue;
                Annihilate(a, q - 1, c, c, std::min(n - 1, q + ka), rows);
                Chase(a, ka, q - 1, rows);
            }
        }
    }
}

void ReduceToTridiagonal(CSymBand& a, int ka, Eigen::VectorXd& d, Eigen::VectorXd& e, CCarriedRows* rows) {
    const int n = a.Size();
    for (int j = 0; j + 2 < n; ++j) {
        for (int q = std::min(n - 1, j + ka); q >= j + 2; --q) {
            if (a(q, j) == 0.0) continue;
            Annihilate(a, q - 1, j, j, std::min(n - 1, q + ka), rows);
            Chase(a, ka, q - 1, rows);
        }
    }
    d.resize(n);
    e.resize(n);
    for (int i = 0; i < n; ++i) {
        d(i) = a(i, i);
        e(i) = i + 1 < n ? a(i + 1, i) : 0.0;
    }
}

}  // namespace numerics
