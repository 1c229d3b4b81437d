// The vector and matrix library against glm, an independent implementation, on seeded random
// inputs. Conventions differ: our matrices act on row vectors from the right, glm's on column
// vectors from the left, so our matrix M corresponds to glm's transpose of M. Read from memory,
// our row-major M is exactly glm's column-major transpose: element k of one is element k of the
// other. Our Reflect is 2 (v.n) n - v, the negative of glm::reflect.
//
// Tolerances are bounds of float rounding, both libraries rounding independently. A sum of n
// products, each rounded, differs from the exact value by at most about n u times the sum of
// the magnitudes of its terms (u = 2^-24, the unit roundoff), so two implementations of it
// differ by at most twice that. The tolerances below take that bound with a margin.
#include <cmath>

#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <gtest/gtest.h>

#include "math/matrix3.h"
#include "math/matrix4.h"
#include "math/vector4.h"
#include "seeded_floats.h"

namespace {

constexpr double kUnitRoundoff = 0x1p-24;
constexpr int kCases = 300;

// Seeded floats, with the vectors and matrices the comparisons draw.
class Floats : public testing_support::SeededFloats {
  public:
    using SeededFloats::SeededFloats;
    Vector3 NextVector(float lo, float hi) { return {Next(lo, hi), Next(lo, hi), Next(lo, hi)}; }
    Vector3 NextUnit() {
        for (;;) {
            const Vector3 v = NextVector(-1, 1);
            const double len = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
            if (len > 0.1) return {float(v.x / len), float(v.y / len), float(v.z / len)};
        }
    }
    Matrix4 NextMatrix(float lo, float hi) {
        Matrix4 a;
        Fill(a.m, lo, hi);
        return a;
    }
};

glm::mat4 ToGlm(const Matrix4& a) { return glm::make_mat4(a.m); }
glm::mat3 ToGlm(const Matrix3& a) { return glm::make_mat3(a.m); }

// The bound of a float sum of n products whose magnitudes add up to scale: n u scale for each
// library, with a factor of 2 to spare.
double SumTolerance(int n, double scale) { return 4.0 * n * kUnitRoundoff * scale; }

// Rotation matrices and rotated vectors have entries of magnitude at most 1 (times the vector's
// length); three products of such matrices and a rounded sine and cosine each give a few units
// of roundoff. 32 u is about 1.9e-6.
constexpr double kRotationTolerance = 32 * kUnitRoundoff;

TEST(MathAgainstGlm, Matrix4Products) {
    Floats rng(101);
    for (int n = 0; n < kCases; ++n) {
        const Matrix4 a = rng.NextMatrix(-2, 2), b = rng.NextMatrix(-2, 2);
        const Matrix4 ours = a * b;
        const glm::mat4 theirs = ToGlm(b) * ToGlm(a); // (ab)^T = b^T a^T
        const float* t = glm::value_ptr(theirs);
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 4; ++j) {
                double scale = 0;
                for (int k = 0; k < 4; ++k)
                    scale += std::fabs(double(a.m[4 * i + k]) * b.m[4 * k + j]);
                EXPECT_NEAR(ours.m[4 * i + j], t[4 * i + j], SumTolerance(4, scale));
            }
        }
    }
}

TEST(MathAgainstGlm, Matrix4TransposeIsExact) {
    Floats rng(102);
    for (int n = 0; n < kCases; ++n) {
        const Matrix4 a = rng.NextMatrix(-100, 100);
        const glm::mat4 theirs = glm::transpose(ToGlm(a));
        const float* t = glm::value_ptr(theirs);
        const Matrix4 ours = a.Transposed();
        for (int k = 0; k < 16; ++k)
            EXPECT_EQ(ours.m[k], t[k]);
    }
}

// The sum of the magnitudes of the 24 terms of the Leibniz formula: the scale of the rounding
// error of any evaluation of the determinant.
double DeterminantScale(const Matrix4& a) {
    double sum = 0;
    const int p[24][4] = {{0, 1, 2, 3}, {0, 1, 3, 2}, {0, 2, 1, 3}, {0, 2, 3, 1}, {0, 3, 1, 2},
                          {0, 3, 2, 1}, {1, 0, 2, 3}, {1, 0, 3, 2}, {1, 2, 0, 3}, {1, 2, 3, 0},
                          {1, 3, 0, 2}, {1, 3, 2, 0}, {2, 0, 1, 3}, {2, 0, 3, 1}, {2, 1, 0, 3},
                          {2, 1, 3, 0}, {2, 3, 0, 1}, {2, 3, 1, 0}, {3, 0, 1, 2}, {3, 0, 2, 1},
                          {3, 1, 0, 2}, {3, 1, 2, 0}, {3, 2, 0, 1}, {3, 2, 1, 0}};
    for (const auto& s : p) {
        double term = 1;
        for (int r = 0; r < 4; ++r)
            term *= std::fabs(double(a.m[4 * r + s[r]]));
        sum += term;
    }
    return sum;
}

TEST(MathAgainstGlm, Matrix4Determinants) {
    Floats rng(103);
    for (int n = 0; n < kCases; ++n) {
        const Matrix4 a = rng.NextMatrix(-2, 2);
        // Each Leibniz term passes through about ten roundings in either expansion.
        const double tolerance = 2 * 10 * kUnitRoundoff * DeterminantScale(a);
        EXPECT_NEAR(a.Determinant(), glm::determinant(ToGlm(a)), tolerance);
    }
}

// Diagonally dominant: diagonal magnitudes in [2, 3], off-diagonal in [-0.5, 0.5], so every row
// has off-diagonal magnitudes summing to at most 1.5 and the inverse has infinity norm at most
// 1 / (2 - 1.5) = 2. The condition number is then at most 4.5 * 2 = 9.
Matrix4 WellConditioned(Floats& rng) {
    Matrix4 a;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            const float sign = rng.Next(-1, 1) < 0 ? -1.0f : 1.0f;
            a.m[4 * r + c] = r == c ? sign * rng.Next(2, 3) : rng.Next(-0.5f, 0.5f);
        }
    }
    return a;
}

TEST(MathAgainstGlm, Matrix4Inverses) {
    // Inverse entries are at most 2 in magnitude and the condition number at most 9; each
    // method's relative error is a few dozen u times the condition number. 64 u * 9 * 2 is
    // about 6.9e-5; both stay far inside it.
    constexpr double kInverseTolerance = 64 * kUnitRoundoff * 9 * 2;
    constexpr double kIdentityTolerance = 64 * kUnitRoundoff * 9;
    Floats rng(104);
    for (int n = 0; n < kCases; ++n) {
        const Matrix4 a = WellConditioned(rng);
        const Matrix4 ours = a.Inverse();
        const glm::mat4 theirs = glm::inverse(ToGlm(a));
        const float* t = glm::value_ptr(theirs);
        for (int k = 0; k < 16; ++k)
            EXPECT_NEAR(ours.m[k], t[k], kInverseTolerance);
        const Matrix4 id = a * ours;
        for (int k = 0; k < 16; ++k)
            EXPECT_NEAR(id.m[k], Matrix4().m[k], kIdentityTolerance);
    }
}

glm::mat4 GlmEuler(float ax, float ay, float az) {
    const glm::mat4 id(1.0f);
    const glm::mat4 rx = glm::rotate(id, ax, glm::vec3(1, 0, 0));
    const glm::mat4 ry = glm::rotate(id, ay, glm::vec3(0, 1, 0));
    const glm::mat4 rz = glm::rotate(id, az, glm::vec3(0, 0, 1));
    // Row vectors through x, then y, then z are column vectors through rz * ry * rx.
    return rz * ry * rx;
}

TEST(MathAgainstGlm, EulerRotations) {
    Floats rng(105);
    for (int n = 0; n < kCases; ++n) {
        const float ax = rng.Next(-4, 4), ay = rng.Next(-4, 4), az = rng.Next(-4, 4);
        Matrix4 ours;
        ours.SetRotation(ax, ay, az);
        const glm::mat4 theirs = GlmEuler(ax, ay, az);
        const float* t = glm::value_ptr(theirs);
        for (int k = 0; k < 16; ++k)
            EXPECT_NEAR(ours.m[k], t[k], kRotationTolerance);

        const Vector3 v = rng.NextVector(-1, 1);
        Vector3 r = v;
        r.Rotate(ax, ay, az);
        const glm::vec4 g = theirs * glm::vec4(v.x, v.y, v.z, 1);
        EXPECT_NEAR(r.x, g.x, kRotationTolerance);
        EXPECT_NEAR(r.y, g.y, kRotationTolerance);
        EXPECT_NEAR(r.z, g.z, kRotationTolerance);
    }
}

TEST(MathAgainstGlm, AxisRotationsTurnTheOtherWay) {
    Floats rng(106);
    for (int n = 0; n < kCases; ++n) {
        const Vector3 u = rng.NextUnit();
        const float angle = rng.Next(-4, 4);
        Matrix4 ours;
        ours.SetRotation(u, angle);
        // glm turns a column vector by +angle; ours turns a row vector by -angle, so its
        // memory is glm's rotation by -angle.
        const glm::mat4 g = glm::rotate(glm::mat4(1.0f), -angle, glm::vec3(u.x, u.y, u.z));
        const float* t = glm::value_ptr(g);
        for (int k = 0; k < 16; ++k)
            EXPECT_NEAR(ours.m[k], t[k], kRotationTolerance);

        const Vector3 v = rng.NextVector(-1, 1);
        Vector3 r3 = v;
        r3.Rotate(u, angle);
        Vector4 r4(v.x, v.y, v.z, 0.5f);
        r4.Rotate(u, angle);
        const glm::vec4 gv = g * glm::vec4(v.x, v.y, v.z, 0.5f);
        EXPECT_NEAR(r3.x, gv.x, kRotationTolerance);
        EXPECT_NEAR(r3.y, gv.y, kRotationTolerance);
        EXPECT_NEAR(r3.z, gv.z, kRotationTolerance);
        EXPECT_NEAR(r4.x, gv.x, kRotationTolerance);
        EXPECT_EQ(r4.w, 0.5f);
    }
}

TEST(MathAgainstGlm, PointAndDirectionTransforms) {
    Floats rng(107);
    for (int n = 0; n < kCases; ++n) {
        const Matrix4 m = rng.NextMatrix(-2, 2);
        const Vector3 p = rng.NextVector(-3, 3);
        const Vector4 d(rng.Next(-3, 3), rng.Next(-3, 3), rng.Next(-3, 3), 0);
        const glm::mat4 g = ToGlm(m);

        Vector3 ours = p;
        ours.Transform(m);
        const glm::vec4 gp = g * glm::vec4(p.x, p.y, p.z, 1);
        Vector4 dir = d;
        dir.Transform(m);
        const glm::vec4 gd = g * glm::vec4(d.x, d.y, d.z, d.w);
        for (int c = 0; c < 4; ++c) {
            const double pointScale = std::fabs(double(p.x) * m.m[c]) +
                                      std::fabs(double(p.y) * m.m[4 + c]) +
                                      std::fabs(double(p.z) * m.m[8 + c]) + std::fabs(m.m[12 + c]);
            if (c < 3) {
                EXPECT_NEAR(ours[c], gp[c], SumTolerance(4, pointScale));
            }
            const double dirScale = std::fabs(double(d.x) * m.m[c]) +
                                    std::fabs(double(d.y) * m.m[4 + c]) +
                                    std::fabs(double(d.z) * m.m[8 + c]);
            EXPECT_NEAR(dir[c], gd[c], SumTolerance(4, dirScale));
        }
        EXPECT_EQ(dir.w == 0.0f, gd.w == 0.0f);
    }
}

TEST(MathAgainstGlm, CrossProducts) {
    Floats rng(108);
    for (int n = 0; n < kCases; ++n) {
        const Vector3 a = rng.NextVector(-10, 10), b = rng.NextVector(-10, 10);
        const Vector3 ours = Cross(a, b);
        const glm::vec3 g = glm::cross(glm::vec3(a.x, a.y, a.z), glm::vec3(b.x, b.y, b.z));
        for (int c = 0; c < 3; ++c) {
            const int i = (c + 1) % 3, j = (c + 2) % 3;
            const double scale = std::fabs(double(a[i]) * b[j]) + std::fabs(double(a[j]) * b[i]);
            EXPECT_NEAR(ours[c], g[c], SumTolerance(2, scale));
        }
    }
}

// glm has no 4D cross product: the oracle is the cofactor expansion in double, component c being
// (-1)^c times the determinant of the three operands with column c struck out.
TEST(MathAgainstGlm, FourDimensionalCrossAgainstADoubleOracle) {
    Floats rng(109);
    for (int n = 0; n < kCases; ++n) {
        const Vector4 u(rng.Next(-2, 2), rng.Next(-2, 2), rng.Next(-2, 2), rng.Next(-2, 2));
        const Vector4 v(rng.Next(-2, 2), rng.Next(-2, 2), rng.Next(-2, 2), rng.Next(-2, 2));
        const Vector4 w(rng.Next(-2, 2), rng.Next(-2, 2), rng.Next(-2, 2), rng.Next(-2, 2));
        const Vector4 ours = Cross(u, v, w);
        for (int c = 0; c < 4; ++c) {
            int k[3], n3 = 0;
            for (int j = 0; j < 4; ++j)
                if (j != c) k[n3++] = j;
            const double m[3][3] = {{u[k[0]], u[k[1]], u[k[2]]},
                                    {v[k[0]], v[k[1]], v[k[2]]},
                                    {w[k[0]], w[k[1]], w[k[2]]}};
            const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                               m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                               m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
            // Leibniz scale of the 3 x 3 determinant: six terms, each at most 8 here.
            double scale = 0;
            const int p[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
            for (const auto& s : p)
                scale += std::fabs(m[0][s[0]] * m[1][s[1]] * m[2][s[2]]);
            const double expected = c % 2 == 0 ? det : -det;
            EXPECT_NEAR(ours[c], expected, SumTolerance(3, scale)) << "component " << c;
        }
    }
}

TEST(MathAgainstGlm, ReflectIsTheNegativeOfGlms) {
    Floats rng(110);
    for (int n = 0; n < kCases; ++n) {
        const Vector3 v = rng.NextVector(-3, 3);
        const Vector3 nrm = rng.NextUnit();
        const Vector3 ours = v.Reflect(nrm);
        const glm::vec3 g = -glm::reflect(glm::vec3(v.x, v.y, v.z), glm::vec3(nrm.x, nrm.y, nrm.z));
        // 2 (v.n) n - v: a dot product of magnitude up to |v|, one product and one difference.
        const double scale = 3 * std::sqrt(27.0);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(ours[c], g[c], SumTolerance(4, scale));
    }
}

TEST(MathAgainstGlm, RefractMatchesGlmAndGivesNaNOnTotalReflection) {
    Floats rng(111);
    int refracted = 0, reflected = 0;
    for (int n = 0; n < kCases; ++n) {
        const Vector3 nrm = rng.NextUnit();
        Vector3 v = rng.NextVector(-2, 2);
        if (v.Dot(nrm) > 0) v = -v; // incoming against the normal
        const float a = rng.Next(1, 2), b = rng.Next(1, 2);
        const Vector3 ours = v.Refract(nrm, a, b);

        const float eta = a / b;
        const glm::vec3 dir = glm::normalize(glm::vec3(v.x, v.y, v.z));
        const glm::vec3 gn(nrm.x, nrm.y, nrm.z);
        const float d = glm::dot(gn, dir);
        const float k = 1.0f - eta * eta * (1.0f - d * d);
        if (std::fabs(k) < 1e-3f) continue; // too close to the critical angle to call
        const glm::vec3 g = glm::refract(dir, gn, eta);
        if (k < 0) {
            ++reflected;
            EXPECT_TRUE(std::isnan(ours.x) && std::isnan(ours.y) && std::isnan(ours.z));
            continue;
        }
        ++refracted;
        // Unit inputs; the square root of k >= 1e-3 amplifies k's rounding by at most
        // 1 / (2 sqrt(1e-3)), about 16. 64 u covers that and the rest.
        constexpr double kRefractTolerance = 64 * kUnitRoundoff * 16;
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(ours[c], g[c], kRefractTolerance);
    }
    EXPECT_GT(refracted, kCases / 2);
    EXPECT_GT(reflected, 0);
}

TEST(MathAgainstGlm, Matrix3ProductsAndVector2Transforms) {
    Floats rng(112);
    for (int n = 0; n < kCases; ++n) {
        Matrix3 a, b;
        rng.Fill(a.m, -2, 2);
        rng.Fill(b.m, -2, 2);
        const Matrix3 ours = a * b;
        const glm::mat3 theirs = ToGlm(b) * ToGlm(a);
        const float* t = glm::value_ptr(theirs);
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                double scale = 0;
                for (int k = 0; k < 3; ++k)
                    scale += std::fabs(double(a.m[3 * i + k]) * b.m[3 * k + j]);
                EXPECT_NEAR(ours.m[3 * i + j], t[3 * i + j], SumTolerance(3, scale));
            }
        }
        const glm::mat3 theirsT = glm::transpose(ToGlm(a));
        const float* tt = glm::value_ptr(theirsT);
        const Matrix3 at = a.Transposed();
        for (int k = 0; k < 9; ++k)
            EXPECT_EQ(at.m[k], tt[k]);

        const Vector2 p(rng.Next(-3, 3), rng.Next(-3, 3));
        Vector2 q = p;
        q.Transform(a);
        const glm::vec3 g = ToGlm(a) * glm::vec3(p.x, p.y, 1);
        EXPECT_NEAR(q.x, g.x, SumTolerance(3, 3 * 2 + 3 * 2 + 2));
        EXPECT_NEAR(q.y, g.y, SumTolerance(3, 3 * 2 + 3 * 2 + 2));

        const float angle = rng.Next(-4, 4);
        Vector2 r = p;
        r.Rotate(angle);
        const glm::vec4 gr =
            glm::rotate(glm::mat4(1.0f), angle, glm::vec3(0, 0, 1)) * glm::vec4(p.x, p.y, 0, 1);
        EXPECT_NEAR(r.x, gr.x, 3 * kRotationTolerance); // |p| up to 3 * sqrt(2)
        EXPECT_NEAR(r.y, gr.y, 3 * kRotationTolerance);
    }
}

} // namespace
