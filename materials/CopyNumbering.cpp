#include "CopyNumbering.h"

#include <algorithm>

namespace {

std::size_t DecimalDigits(int number) {
    if (number == 0)
        return 0;
    return std::to_string(number).size() - (number < 0 ? 1 : 0);
}

}  // namespace

CNumberedName NumberedCopyName(const std::vector<CMaterial>& materials, int count,
                               const std::string& picked) {
    const int valid = std::min(count, static_cast<int>(materials.size()));
    for (int i = valid - 1; i >= 0; --i) {
        const CMaterial& entry = materials[static_cast<std::size_t>(i)];
        const std::size_t cut = std::min(DecimalDigits(entry.m_nNo), entry.m_strName.size());
        if (entry.m_strName.substr(0, entry.m_strName.size() - cut) == picked) {
            const int next = entry.m_nNo + 1;
            return {picked + std::to_string(next), next};
        }
    }
    return {picked, 0};
}
