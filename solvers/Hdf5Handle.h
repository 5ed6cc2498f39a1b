#pragma once
// Small helpers over the HDF5 C library shared by the wave-field file's writer and reader: an
// identifier closed when it goes out of scope, and the library's own error printing turned off
// (failures are reported in our words).

#include <hdf5.h>

#include <mutex>

namespace numerics {

inline void QuietHdf5() {
    static std::once_flag once;
    std::call_once(once, [] { H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr); });
}

class CHdf5Handle {
public:
    CHdf5Handle(hid_t id, herr_t (*close)(hid_t)) : m_id(id), m_close(close) {}
    ~CHdf5Handle() {
        if (m_id >= 0) m_close(m_id);
    }
    CHdf5Handle(const CHdf5Handle&) = delete;
    CHdf5Handle& operator=(const CHdf5Handle&) = delete;
    hid_t Id() const { return m_id; }
    bool Ok() const { return m_id >= 0; }

private:
    hid_t m_id;
    herr_t (*m_close)(hid_t);
};

}  // namespace numerics
