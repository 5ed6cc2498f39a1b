// The wave-field reader against files written here: by the solvers' own writer (every value and
// attribute comes back), the way other programs write the same layout (fixed-length strings,
// float32), and damaged or hostile files, each refused with its reason and nothing half-read.

#include <gtest/gtest.h>
#include <hdf5.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>

#include "FieldFile.h"

namespace fs = std::filesystem;
using numerics::CFieldFile;

namespace {

// A field whose every value differs, so a transposed or shifted read shows.
CFieldFile Sample(size_t nt = 3, size_t ny = 4, size_t nx = 5) {
    CFieldFile c;
    for (size_t i = 0; i < nx; ++i) c.x.push_back(-2.0 + 0.5 * i);
    for (size_t j = 0; j < ny; ++j) c.y.push_back(10.0 + j);
    for (size_t t = 0; t < nt; ++t) c.t.push_back(1.5 * t);
    for (size_t t = 0; t < nt; ++t)
        for (size_t j = 0; j < ny; ++j)
            for (size_t i = 0; i < nx; ++i) c.field.push_back(1e-6 * (100.0 * t + 10.0 * j + i) * (i % 2 ? -1 : 1));
    c.strComponent = "V";
    c.strSolver = "Kavrit";
    c.nLoadType = 4;
    c.strLoadDirection = "Y";
    c.timeWindow[0] = 0;
    c.timeWindow[1] = 3;
    c.elementOrders = {3, 5, 7};
    c.wavenumberGrid[0] = 64;
    c.wavenumberGrid[1] = 48;
    c.wavenumberGrid[2] = 0.1;
    c.wavenumberGrid[3] = 0.2;
    c.period[0] = 62.5;
    c.period[1] = 31.25;
    c.dBandLimit = 2.5;
    c.strSymmetry = "mirror";
    return c;
}

class FieldFileRead : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("pemblar-field-read-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string Path(const char* name) const { return (m_dir / name).string(); }

    // Writes a file by hand: fill gets the open file.
    std::string Write(const char* name, const std::function<void(hid_t)>& fill) const {
        const std::string path = Path(name);
        const hid_t file = H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
        EXPECT_GE(file, 0);
        fill(file);
        H5Fclose(file);
        return path;
    }
    // What the reader says, and that a refusal leaves the output as it was.
    std::string Refusal(const std::string& path) const {
        CFieldFile out;
        out.strSolver = "untouched";
        const std::string why = numerics::ReadFieldFile(path, out);
        EXPECT_EQ(out.strSolver, "untouched") << why;
        EXPECT_TRUE(out.field.empty());
        return why;
    }
    fs::path m_dir;
};

void Dataset(hid_t file, const char* name, hid_t type, std::vector<hsize_t> dims, const std::vector<double>& values) {
    const hid_t space = H5Screate_simple(static_cast<int>(dims.size()), dims.data(), nullptr);
    const hid_t set = H5Dcreate2(file, name, type, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
    if (!values.empty()) H5Dwrite(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data());
    H5Dclose(set);
    H5Sclose(space);
}

// A fixed-length string attribute, space padded as MATLAB and Fortran write them.
void FixedText(hid_t owner, const char* name, const std::string& text, size_t size) {
    const hid_t type = H5Tcopy(H5T_C_S1);
    H5Tset_size(type, size);
    H5Tset_strpad(type, H5T_STR_SPACEPAD);
    const hid_t space = H5Screate(H5S_SCALAR);
    const hid_t attr = H5Acreate2(owner, name, type, space, H5P_DEFAULT, H5P_DEFAULT);
    std::string padded = text;
    padded.resize(size, ' ');
    H5Awrite(attr, type, padded.data());
    H5Aclose(attr);
    H5Sclose(space);
    H5Tclose(type);
}

void IntAttribute(hid_t owner, const char* name, int value) {
    const hid_t space = H5Screate(H5S_SCALAR);
    const hid_t attr = H5Acreate2(owner, name, H5T_STD_I32LE, space, H5P_DEFAULT, H5P_DEFAULT);
    H5Awrite(attr, H5T_NATIVE_INT, &value);
    H5Aclose(attr);
    H5Sclose(space);
}

// The layout with the given pieces; the component on /field unless told otherwise.
void Layout(hid_t file, const CFieldFile& c, hid_t type = H5T_IEEE_F64LE, const char* component = "W") {
    Dataset(file, "/x", type, {c.x.size()}, c.x);
    Dataset(file, "/y", type, {c.y.size()}, c.y);
    Dataset(file, "/t", type, {c.t.size()}, c.t);
    Dataset(file, "/field", type, {c.t.size(), c.y.size(), c.x.size()}, c.field);
    if (component) {
        const hid_t set = H5Dopen2(file, "/field", H5P_DEFAULT);
        FixedText(set, "component", component, 1);
        H5Dclose(set);
    }
}

}  // namespace

TEST_F(FieldFileRead, WhatTheSolversWriteComesBackWhole) {
    const CFieldFile written = Sample();
    const std::string path = Path("wave.h5");
    ASSERT_EQ(numerics::WriteFieldFile(path, written), "");
    CFieldFile read;
    ASSERT_EQ(numerics::ReadFieldFile(path, read), "");
    // Doubles stored as float64 come back to the bit, in [t][y][x] order.
    EXPECT_EQ(read.field, written.field);
    EXPECT_EQ(read.x, written.x);
    EXPECT_EQ(read.y, written.y);
    EXPECT_EQ(read.t, written.t);
    EXPECT_EQ(read.strComponent, "V");
    EXPECT_EQ(read.strSolver, "Kavrit");
    EXPECT_EQ(read.nLoadType, 4);
    EXPECT_EQ(read.strLoadDirection, "Y");
    EXPECT_EQ(read.timeWindow[1], 3.0);
    EXPECT_EQ(read.elementOrders, (std::vector<int>{3, 5, 7}));
    EXPECT_EQ(read.wavenumberGrid[1], 48.0);
    EXPECT_EQ(read.wavenumberGrid[3], 0.2);
    EXPECT_EQ(read.period[0], 62.5);
    EXPECT_EQ(read.period[1], 31.25);
    EXPECT_EQ(read.dBandLimit, 2.5);
    EXPECT_EQ(read.strSymmetry, "mirror");
}

TEST_F(FieldFileRead, TheSameLayoutFromOtherProgramsReads) {
    // float32 datasets, fixed-length space-padded strings, no root attributes at all: the
    // values convert, the attributes keep their defaults.
    CFieldFile c = Sample(2, 3, 2);
    const std::string path = Write("other.h5", [&](hid_t file) { Layout(file, c, H5T_IEEE_F32LE, "U"); });
    CFieldFile read;
    ASSERT_EQ(numerics::ReadFieldFile(path, read), "");
    ASSERT_EQ(read.field.size(), c.field.size());
    for (size_t i = 0; i < c.field.size(); ++i)
        EXPECT_EQ(read.field[i], static_cast<double>(static_cast<float>(c.field[i])));
    EXPECT_EQ(read.strComponent, "U");
    EXPECT_EQ(read.strSolver, "");
    EXPECT_TRUE(read.elementOrders.empty());

    // A single point and a single frame are a field too.
    CFieldFile one = Sample(1, 1, 1);
    const std::string single = Write("one.h5", [&](hid_t file) { Layout(file, one); });
    ASSERT_EQ(numerics::ReadFieldFile(single, read), "");
    EXPECT_EQ(read.field, one.field);
}

TEST_F(FieldFileRead, DamagedLayoutsAreRefusedWithTheReason) {
    const CFieldFile c = Sample();
    const auto refusal = [&](const char* name, const std::function<void(hid_t)>& fill) {
        return Refusal(Write(name, fill));
    };
    EXPECT_EQ(refusal("nofield.h5", [&](hid_t f) {
                  Dataset(f, "/x", H5T_IEEE_F64LE, {c.x.size()}, c.x);
                  Dataset(f, "/y", H5T_IEEE_F64LE, {c.y.size()}, c.y);
                  Dataset(f, "/t", H5T_IEEE_F64LE, {c.t.size()}, c.t);
              }),
              "it has no dataset /field");
    EXPECT_EQ(refusal("noy.h5", [&](hid_t f) { Dataset(f, "/x", H5T_IEEE_F64LE, {c.x.size()}, c.x); }),
              "it has no dataset /y");
    // Axes swapped against the field: [t][x][y] is not [t][y][x].
    EXPECT_EQ(refusal("swapped.h5", [&](hid_t f) {
                  Dataset(f, "/x", H5T_IEEE_F64LE, {c.x.size()}, c.x);
                  Dataset(f, "/y", H5T_IEEE_F64LE, {c.y.size()}, c.y);
                  Dataset(f, "/t", H5T_IEEE_F64LE, {c.t.size()}, c.t);
                  Dataset(f, "/field", H5T_IEEE_F64LE, {c.t.size(), c.x.size(), c.y.size()}, c.field);
              }),
              "/field has the shape [3][5][4], not [t][y][x] = [3][4][5]");
    EXPECT_EQ(refusal("flat.h5", [&](hid_t f) {
                  Dataset(f, "/x", H5T_IEEE_F64LE, {c.x.size()}, c.x);
                  Dataset(f, "/y", H5T_IEEE_F64LE, {c.y.size()}, c.y);
                  Dataset(f, "/t", H5T_IEEE_F64LE, {c.t.size()}, c.t);
                  Dataset(f, "/field", H5T_IEEE_F64LE, {c.field.size()}, c.field);
              }),
              "/field does not have 3 dimensions");
    EXPECT_EQ(refusal("ints.h5", [&](hid_t f) { Layout(f, c, H5T_STD_I32LE); }),
              "/x does not hold floating-point numbers");
    EXPECT_EQ(refusal("nocomponent.h5", [&](hid_t f) { Layout(f, c, H5T_IEEE_F64LE, nullptr); }),
              "/field does not name its component U, V or W");
    EXPECT_EQ(refusal("badcomponent.h5", [&](hid_t f) { Layout(f, c, H5T_IEEE_F64LE, "Q"); }),
              "/field does not name its component U, V or W");
    EXPECT_EQ(refusal("metres.h5", [&](hid_t f) {
                  Layout(f, c);
                  const hid_t set = H5Dopen2(f, "/field", H5P_DEFAULT);
                  FixedText(set, "units", "m", 1);
                  H5Dclose(set);
              }),
              "/field is in m, not in mm");
    EXPECT_EQ(refusal("newer.h5", [&](hid_t f) {
                  Layout(f, c);
                  IntAttribute(f, "format_version", 2);
              }),
              "it is of format version 2; this version reads 1");
    EXPECT_EQ(refusal("textversion.h5", [&](hid_t f) {
                  Layout(f, c);
                  FixedText(f, "format_version", "1", 1);
              }),
              "the attribute format_version is not a number");
    EXPECT_EQ(refusal("longname.h5", [&](hid_t f) {
                  Layout(f, c);
                  FixedText(f, "solver", std::string(300, 'a'), 300);
              }),
              "the attribute solver is too long");
    EXPECT_EQ(refusal("escape.h5", [&](hid_t f) {
                  Layout(f, c);
                  FixedText(f, "symmetry", "mirror\x1b[2J", 10);
              }),
              "the attribute symmetry holds a control character");
    EXPECT_EQ(refusal("shortperiod.h5", [&](hid_t f) {
                  Layout(f, c);
                  IntAttribute(f, "period", 5);
              }),
              "the attribute period is not 2 numbers");
}

TEST_F(FieldFileRead, ValuesThatAreNotFiniteOrAxesThatDoNotIncreaseAreRefused) {
    CFieldFile c = Sample();
    // The first bad value is named by its time and point: t index 2, y index 1, x index 3.
    c.field[(2 * 4 + 1) * 5 + 3] = NAN;
    c.field.back() = INFINITY;
    EXPECT_EQ(Refusal(Write("nan.h5", [&](hid_t f) { Layout(f, c); })),
              "the field holds a value that is not a finite number at t = 3 us, (x, y) = (-0.5, 11) mm");
    CFieldFile back = Sample();
    std::swap(back.t[0], back.t[1]);
    EXPECT_EQ(Refusal(Write("back.h5", [&](hid_t f) { Layout(f, back); })), "/t does not increase");
    CFieldFile twice = Sample();
    twice.x[2] = twice.x[1];
    EXPECT_EQ(Refusal(Write("twice.h5", [&](hid_t f) { Layout(f, twice); })), "/x does not increase");
    CFieldFile infinite = Sample();
    infinite.y[0] = -INFINITY;
    EXPECT_EQ(Refusal(Write("inf.h5", [&](hid_t f) { Layout(f, infinite); })),
              "/y holds a value that is not a finite number");
}

TEST_F(FieldFileRead, HugeDeclaredShapesAreRefusedBeforeAnythingIsRead) {
    // Chunked datasets may declare any extent without storing it: a reader that trusted the
    // shape would try to allocate terabytes.
    const std::string path = Write("huge.h5", [&](hid_t f) {
        const auto chunked = [&](const char* name, std::vector<hsize_t> dims) {
            const hid_t space = H5Screate_simple(static_cast<int>(dims.size()), dims.data(), nullptr);
            const hid_t create = H5Pcreate(H5P_DATASET_CREATE);
            std::vector<hsize_t> chunk(dims.size(), 1);
            H5Pset_chunk(create, static_cast<int>(chunk.size()), chunk.data());
            const hid_t set = H5Dcreate2(f, name, H5T_IEEE_F64LE, space, H5P_DEFAULT, create, H5P_DEFAULT);
            H5Dclose(set);
            H5Pclose(create);
            H5Sclose(space);
        };
        const auto axis = [&](const char* name, size_t n) {
            std::vector<double> v(n);
            for (size_t i = 0; i < n; ++i) v[i] = static_cast<double>(i);
            Dataset(f, name, H5T_IEEE_F64LE, {n}, v);
        };
        axis("/x", 4000);
        axis("/y", 4000);
        axis("/t", 9000);
        chunked("/field", {9000, 4000, 4000});
    });
    EXPECT_EQ(Refusal(path), "/field holds 1.44e+11 values, more than 5e+07");
    const std::string wide = Write("wide.h5", [&](hid_t f) {
        std::vector<double> x(5000);
        for (size_t i = 0; i < x.size(); ++i) x[i] = static_cast<double>(i);
        Dataset(f, "/x", H5T_IEEE_F64LE, {x.size()}, x);
    });
    EXPECT_EQ(Refusal(wide), "/x holds 5000 values, more than 4096");
}

TEST_F(FieldFileRead, WhatIsNoHdf5FileIsSaidAsSuch) {
    std::ofstream(Path("text.h5")) << "field,x,y\n1,2,3\n";
    EXPECT_EQ(Refusal(Path("text.h5")), "it is not an HDF5 file");
    EXPECT_EQ(Refusal(Path("missing.h5")), "it cannot be opened");
    EXPECT_EQ(Refusal(m_dir.string()), "it is not a plain file");
    // A FIFO would block a reader that opened it.
    ASSERT_EQ(::mkfifo(Path("fifo.h5").c_str(), 0600), 0);
    EXPECT_EQ(Refusal(Path("fifo.h5")), "it is not a plain file");
    // A file cut short is not read as a smaller field.
    ASSERT_EQ(numerics::WriteFieldFile(Path("whole.h5"), Sample(6, 20, 30)), "");
    const auto size = fs::file_size(Path("whole.h5"));
    fs::copy_file(Path("whole.h5"), Path("cut.h5"));
    fs::resize_file(Path("cut.h5"), size / 2);
    EXPECT_FALSE(Refusal(Path("cut.h5")).empty());
}
