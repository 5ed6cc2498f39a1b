#include "MateCon.h"

std::string LayerLabel(int oneBasedNumber) {
    return "Layer " + std::to_string(oneBasedNumber);
}
