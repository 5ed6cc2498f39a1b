#include "FieldFile.h"

#include "Hdf5Handle.h"
#include "ResultFile.h"

namespace numerics {

namespace {

using CHandle = CHdf5Handle;

bool Attribute(hid_t owner, const char* name, hid_t type, const void* data, hsize_t count) {
    CHandle space(count == 0 ? H5Screate(H5S_SCALAR) : H5Screate_simple(1, &count, nullptr), H5Sclose);
    if (!space.Ok()) return false;
    CHandle attr(H5Acreate2(owner, name, type, space.Id(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
    return attr.Ok() && H5Awrite(attr.Id(), type, data) >= 0;
}

bool TextAttribute(hid_t owner, const char* name, const std::string& text) {
    CHandle type(H5Tcopy(H5T_C_S1), H5Tclose);
    if (!type.Ok() || H5Tset_size(type.Id(), H5T_VARIABLE) < 0 || H5Tset_cset(type.Id(), H5T_CSET_UTF8) < 0)
        return false;
    const char* data = text.c_str();
    return Attribute(owner, name, type.Id(), &data, 0);
}

bool Dataset(hid_t file, const char* name, const std::vector<double>& data, const std::vector<hsize_t>& shape,
             const char* units) {
    CHandle space(H5Screate_simple(static_cast<int>(shape.size()), shape.data(), nullptr), H5Sclose);
    if (!space.Ok()) return false;
    // No modification times in the object headers: the same run gives the same bytes.
    CHandle create(H5Pcreate(H5P_DATASET_CREATE), H5Pclose);
    if (!create.Ok() || H5Pset_obj_track_times(create.Id(), 0) < 0) return false;
    CHandle set(H5Dcreate2(file, name, H5T_IEEE_F64LE, space.Id(), H5P_DEFAULT, create.Id(), H5P_DEFAULT), H5Dclose);
    return set.Ok() && H5Dwrite(set.Id(), H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, data.data()) >= 0 &&
           TextAttribute(set.Id(), "units", units);
}

bool Fill(hid_t file, const CFieldFile& c) {
    const hsize_t nt = c.t.size(), ny = c.y.size(), nx = c.x.size();
    if (!Dataset(file, "/field", c.field, {nt, ny, nx}, "mm") || !Dataset(file, "/x", c.x, {nx}, "mm") ||
        !Dataset(file, "/y", c.y, {ny}, "mm") || !Dataset(file, "/t", c.t, {nt}, "us"))
        return false;
    {
        CHandle set(H5Dopen2(file, "/field", H5P_DEFAULT), H5Dclose);
        if (!set.Ok() || !TextAttribute(set.Id(), "component", c.strComponent)) return false;
    }
    const int version = kFieldFormatVersion;
    return TextAttribute(file, "solver", c.strSolver) &&
           Attribute(file, "load_type", H5T_STD_I32LE, &c.nLoadType, 0) &&
           TextAttribute(file, "load_direction", c.strLoadDirection) && TextAttribute(file, "output", c.strComponent) &&
           Attribute(file, "time_window", H5T_IEEE_F64LE, c.timeWindow, 2) &&
           Attribute(file, "element_orders", H5T_STD_I32LE, c.elementOrders.data(), c.elementOrders.size()) &&
           Attribute(file, "wavenumber_grid", H5T_IEEE_F64LE, c.wavenumberGrid, 4) &&
           Attribute(file, "period", H5T_IEEE_F64LE, c.period, 2) &&
           Attribute(file, "band_limit", H5T_IEEE_F64LE, &c.dBandLimit, 0) &&
           TextAttribute(file, "symmetry", c.strSymmetry) &&
           Attribute(file, "format_version", H5T_STD_I32LE, &version, 0);
}

}  // namespace

std::string WriteFieldFile(const std::string& path, const CFieldFile& c) {
    QuietHdf5();
    // The file is made in memory (no backing store) and its image written like any result.
    CHandle access(H5Pcreate(H5P_FILE_ACCESS), H5Pclose);
    if (!access.Ok() || H5Pset_fapl_core(access.Id(), 1 << 20, 0) < 0) return "cannot make the wave-field file " + path;
    std::string image;
    {
        CHandle file(H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, access.Id()), H5Fclose);
        if (!file.Ok() || !Fill(file.Id(), c) || H5Fflush(file.Id(), H5F_SCOPE_GLOBAL) < 0)
            return "cannot make the wave-field file " + path;
        const ssize_t size = H5Fget_file_image(file.Id(), nullptr, 0);
        if (size <= 0) return "cannot make the wave-field file " + path;
        image.resize(static_cast<size_t>(size));
        if (H5Fget_file_image(file.Id(), image.data(), image.size()) != size)
            return "cannot make the wave-field file " + path;
    }
    return WriteFileAtomically(path, image);
}

}  // namespace numerics
