#include "standin.h"
namespace standin {
Output CompileEffect(const std::string &) {
    Output output;
    output.hr = E_NOTIMPL;
    output.messages = "d3dcompiler_47 stand-in: effects are not written yet\n";
    return output;
}
} // namespace standin
