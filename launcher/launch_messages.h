// What the launcher tells the user when the Java runtime cannot be started.
#pragma once

namespace quelvar {

// The box's caption, for every message.
extern const wchar_t kErrorCaption[];

// The message for the runtime library's error number after a failed start: no such file
// (2), not enough memory (12), argument list too long (7), or an unexpected error.
const wchar_t* launch_error_message(int error_number);

}  // namespace quelvar
