// Tables behind CodePage.h; private to env.
#ifndef REMDO_ENV_CODEPAGETABLES_H_
#define REMDO_ENV_CODEPAGETABLES_H_

namespace remdo::env::detail {
extern const char16_t kCp437High[128];
extern const char16_t kCp850High[128];
extern const char16_t kCp852High[128];
extern const char16_t kCp865High[128];
extern const char16_t kCp866High[128];
extern const char16_t kCp1250High[128];
extern const char16_t kCp1251High[128];
extern const char16_t kCp1252High[128];
}  // namespace remdo::env::detail

#endif  // REMDO_ENV_CODEPAGETABLES_H_
