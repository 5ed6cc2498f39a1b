#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <tuple>

#include "FieldFile.h"
#include "Hdf5Handle.h"
#include "PointSourceRun.h"

namespace numerics {

namespace {

using CHandle = CHdf5Handle;

// Attribute strings are names and units: anything longer is not this file's.
constexpr size_t kMaxText = 256;

std::string Num(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6g", v);
    return buffer;
}

bool IsFloat(hid_t object, hid_t (*getType)(hid_t)) {
    CHandle type(getType(object), H5Tclose);
    return type.Ok() && H5Tget_class(type.Id()) == H5T_FLOAT;
}

// The extent of a simple dataspace of the given rank; false for any other.
bool Extent(hid_t space, int rank, hsize_t* dims) {
    return H5Sis_simple(space) > 0 && H5Sget_simple_extent_ndims(space) == rank &&
           H5Sget_simple_extent_dims(space, dims, nullptr) == rank;
}

// A float64 dataset of the given rank, read whole after its size was checked against limit.
std::string ReadDataset(hid_t file, const char* name, int rank, hsize_t* dims, double limit,
                        std::vector<double>& out) {
    if (H5Lexists(file, name, H5P_DEFAULT) <= 0) return std::string("it has no dataset ") + name;
    CHandle set(H5Dopen2(file, name, H5P_DEFAULT), H5Dclose);
    if (!set.Ok()) return std::string(name) + " is not a dataset";
    CHandle space(H5Dget_space(set.Id()), H5Sclose);
    if (!space.Ok() || !Extent(space.Id(), rank, dims))
        return std::string(name) + " does not have " + std::to_string(rank) + (rank == 1 ? " dimension" : " dimensions");
    if (!IsFloat(set.Id(), H5Dget_type)) return std::string(name) + " does not hold floating-point numbers";
    double count = 1;
    for (int i = 0; i < rank; ++i) count *= static_cast<double>(dims[i]);
    if (!(count >= 1)) return std::string(name) + " is empty";
    if (count > limit) return std::string(name) + " holds " + Num(count) + " values, more than " + Num(limit);
    out.assign(static_cast<size_t>(count), 0.0);
    if (H5Dread(set.Id(), H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, out.data()) < 0)
        return std::string(name) + " cannot be read";
    return {};
}

// An axis: finite values, increasing.
std::string CheckAxis(const char* name, const std::vector<double>& v) {
    for (size_t i = 0; i < v.size(); ++i) {
        if (!std::isfinite(v[i])) return std::string(name) + " holds a value that is not a finite number";
        if (i > 0 && !(v[i] > v[i - 1])) return std::string(name) + " does not increase";
    }
    return {};
}

// A string attribute (variable or fixed length) of at most kMaxText bytes; false when absent.
std::string TextAttribute(hid_t owner, const char* object, const char* name, bool& present, std::string& out) {
    present = H5Aexists_by_name(owner, object, name, H5P_DEFAULT) > 0;
    if (!present) return {};
    const std::string what = std::string("the attribute ") + name + (std::string(object) == "." ? "" : " of " + std::string(object));
    CHandle attr(H5Aopen_by_name(owner, object, name, H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
    CHandle type(attr.Ok() ? H5Aget_type(attr.Id()) : -1, H5Tclose);
    CHandle space(attr.Ok() ? H5Aget_space(attr.Id()) : -1, H5Sclose);
    if (!type.Ok() || !space.Ok() || H5Tget_class(type.Id()) != H5T_STRING || H5Sget_simple_extent_npoints(space.Id()) != 1)
        return what + " is not one string";
    // Read as stored (its character set and padding), the padding taken off here.
    CHandle memType(H5Tcopy(type.Id()), H5Tclose);
    if (!memType.Ok()) return what + " cannot be read";
    std::string text;
    if (H5Tis_variable_str(type.Id()) > 0) {
        char* data = nullptr;
        if (H5Aread(attr.Id(), memType.Id(), &data) < 0) return what + " cannot be read";
        if (data) text.assign(data, strnlen(data, kMaxText + 1));
        H5free_memory(data);
    } else {
        const size_t size = H5Tget_size(type.Id());
        if (size == 0 || size > kMaxText) return what + " is too long";
        std::string buffer(size, '\0');
        if (H5Aread(attr.Id(), memType.Id(), buffer.data()) < 0) return what + " cannot be read";
        text.assign(buffer.c_str(), strnlen(buffer.c_str(), size));
        while (!text.empty() && text.back() == ' ') text.pop_back();
    }
    if (text.size() > kMaxText) return what + " is too long";
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7f) return what + " holds a control character";
    out = text;
    return {};
}

// A numeric attribute of exactly count values (count 1: a scalar or one value), converted to
// T; absent leaves out as it is.
template <class T>
std::string NumberAttribute(hid_t file, const char* name, hid_t memType, size_t count, T* out) {
    if (H5Aexists(file, name) <= 0) return {};
    CHandle attr(H5Aopen(file, name, H5P_DEFAULT), H5Aclose);
    CHandle type(attr.Ok() ? H5Aget_type(attr.Id()) : -1, H5Tclose);
    CHandle space(attr.Ok() ? H5Aget_space(attr.Id()) : -1, H5Sclose);
    const H5T_class_t cls = type.Ok() ? H5Tget_class(type.Id()) : H5T_NO_CLASS;
    if (!space.Ok() || (cls != H5T_INTEGER && cls != H5T_FLOAT) ||
        H5Sget_simple_extent_npoints(space.Id()) != static_cast<hssize_t>(count))
        return std::string("the attribute ") + name + (count == 1 ? " is not a number" : " is not " + std::to_string(count) + " numbers");
    std::vector<T> values(count);
    if (count > 0 && H5Aread(attr.Id(), memType, values.data()) < 0)
        return std::string("the attribute ") + name + " cannot be read";
    for (size_t i = 0; i < count; ++i) {
        if (!std::isfinite(static_cast<double>(values[i])))
            return std::string("the attribute ") + name + " holds a value that is not a finite number";
        out[i] = values[i];
    }
    return {};
}

// The length of a one-dimensional attribute, or -1 when absent or of another shape.
long AttributeLength(hid_t file, const char* name) {
    if (H5Aexists(file, name) <= 0) return -1;
    CHandle attr(H5Aopen(file, name, H5P_DEFAULT), H5Aclose);
    CHandle space(attr.Ok() ? H5Aget_space(attr.Id()) : -1, H5Sclose);
    return space.Ok() ? static_cast<long>(H5Sget_simple_extent_npoints(space.Id())) : -1;
}

std::string ReadRootAttributes(hid_t file, CFieldFile& c) {
    bool present = false;
    std::string error;
    const auto text = [&](const char* name, std::string& out) {
        if (error.empty()) error = TextAttribute(file, ".", name, present, out);
    };
    const auto numbers = [&](auto&& read) {
        if (error.empty()) error = read();
    };
    int version = kFieldFormatVersion;
    numbers([&] { return NumberAttribute(file, "format_version", H5T_NATIVE_INT, 1, &version); });
    if (error.empty() && version != kFieldFormatVersion)
        return "it is of format version " + std::to_string(version) + "; this version reads " +
               std::to_string(kFieldFormatVersion);
    text("solver", c.strSolver);
    text("load_direction", c.strLoadDirection);
    text("symmetry", c.strSymmetry);
    numbers([&] { return NumberAttribute(file, "load_type", H5T_NATIVE_INT, 1, &c.nLoadType); });
    numbers([&] { return NumberAttribute(file, "time_window", H5T_NATIVE_DOUBLE, 2, c.timeWindow); });
    numbers([&] { return NumberAttribute(file, "wavenumber_grid", H5T_NATIVE_DOUBLE, 4, c.wavenumberGrid); });
    numbers([&] { return NumberAttribute(file, "period", H5T_NATIVE_DOUBLE, 2, c.period); });
    numbers([&] { return NumberAttribute(file, "band_limit", H5T_NATIVE_DOUBLE, 1, &c.dBandLimit); });
    const long layers = AttributeLength(file, "element_orders");
    if (error.empty() && layers >= 0) {
        if (layers > 100000) return "the attribute element_orders is too long";
        c.elementOrders.assign(static_cast<size_t>(layers), 0);
        error = NumberAttribute(file, "element_orders", H5T_NATIVE_INT, c.elementOrders.size(), c.elementOrders.data());
    }
    return error;
}

std::string ReadContents(hid_t file, CFieldFile& c) {
    hsize_t nx = 0, ny = 0, nt = 0, dims[3] = {0, 0, 0};
    for (auto [name, n, limit, axis] : {std::tuple{"/x", &nx, kMaxFieldSide, &c.x}, std::tuple{"/y", &ny, kMaxFieldSide, &c.y},
                                        std::tuple{"/t", &nt, kMaxFieldTimes, &c.t}}) {
        if (std::string error = ReadDataset(file, name, 1, n, limit, *axis); !error.empty()) return error;
        if (std::string error = CheckAxis(name, *axis); !error.empty()) return error;
    }
    // The field's shape is checked before a byte of it is read.
    if (H5Lexists(file, "/field", H5P_DEFAULT) > 0) {
        CHandle set(H5Dopen2(file, "/field", H5P_DEFAULT), H5Dclose);
        CHandle space(set.Ok() ? H5Dget_space(set.Id()) : -1, H5Sclose);
        if (space.Ok() && Extent(space.Id(), 3, dims) && (dims[0] != nt || dims[1] != ny || dims[2] != nx))
            return "/field has the shape [" + std::to_string(dims[0]) + "][" + std::to_string(dims[1]) + "][" +
                   std::to_string(dims[2]) + "], not [t][y][x] = [" + std::to_string(nt) + "][" + std::to_string(ny) +
                   "][" + std::to_string(nx) + "]";
    }
    if (std::string error = ReadDataset(file, "/field", 3, dims, kMaxFieldValues, c.field); !error.empty()) return error;
    for (size_t i = 0; i < c.field.size(); ++i)
        if (!std::isfinite(c.field[i])) {
            const size_t ix = i % nx, iy = (i / nx) % ny, it = i / (nx * ny);
            return "the field holds a value that is not a finite number at t = " + Num(c.t[it]) + " us, (x, y) = (" +
                   Num(c.x[ix]) + ", " + Num(c.y[iy]) + ") mm";
        }
    bool present = false;
    std::string units = "mm";
    if (std::string error = TextAttribute(file, "/field", "component", present, c.strComponent); !error.empty())
        return error;
    if (!present || (c.strComponent != "U" && c.strComponent != "V" && c.strComponent != "W"))
        return "/field does not name its component U, V or W";
    if (std::string error = TextAttribute(file, "/field", "units", present, units); !error.empty()) return error;
    if (present && units != "mm") return "/field is in " + units + ", not in mm";
    return ReadRootAttributes(file, c);
}

}  // namespace

std::string ReadFieldFile(const std::string& path, CFieldFile& out) {
    QuietHdf5();
    // A FIFO or a device would block or never end; only a plain file is opened.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return "it cannot be opened";
    if (!S_ISREG(st.st_mode)) return "it is not a plain file";
    if (H5Fis_hdf5(path.c_str()) <= 0) return "it is not an HDF5 file";
    CHandle file(H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
    if (!file.Ok()) return "it cannot be opened as an HDF5 file";
    CFieldFile c;
    if (std::string error = ReadContents(file.Id(), c); !error.empty()) return error;
    out = std::move(c);
    return {};
}

}  // namespace numerics
