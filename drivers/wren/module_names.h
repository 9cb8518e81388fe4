// The product variants wren can be installed as: one module file name per USB product id.
#pragma once

#include <stdint.h>

namespace wren {

struct ModuleState;

struct ModuleName {
    const char* fileName;
    uint16_t productId;
};

enum : int { MODULE_NAME_COUNT = 11 };
extern const ModuleName kModuleNames[MODULE_NAME_COUNT];

// Expected when the module's name is not in the table.
enum : uint16_t { DEFAULT_PRODUCT_ID = 0x3000 };

// The one name whose calibration file lives in the Windows directory and keeps its access list.
extern const char* const kAlternativeModuleName;

// The module's own file name without directory.
const char* OwnModuleFileName(const ModuleState& m);
// Row of `fileName` (case-insensitive), or nullptr.
const ModuleName* FindModuleName(const char* fileName);
bool HasAlternativeName(const ModuleState& m);

const char* ModelText();
const char* DriverNameText();

} // namespace wren
