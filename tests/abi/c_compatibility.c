/* The contract header must compile as plain C. */
#include "abi/plugin_abi.h"

size_t kiv_abi_c_value_size(void) { return sizeof(PluginValue) + sizeof(PluginResponseRecord); }
