#pragma once

namespace zandrel {

// The sheets of src/panels, installed under the actions that open them: their commands are
// offered from then on.
namespace Sheets {

void install();

} // namespace Sheets

} // namespace zandrel
