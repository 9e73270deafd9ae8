#include "scene/gl_choices.h"

#include <string.h>

double perspectiveAspect(int width, int height) {
  return static_cast<double>(width) / static_cast<double>(height);
}

bool namesExtension(const char* list, const char* name) {
  size_t length = strlen(name);
  if (list == nullptr || length == 0) return false;
  for (const char* word = list; *word != '\0';) {
    size_t wordLength = strcspn(word, " ");
    if (wordLength == length && strncmp(word, name, length) == 0) return true;
    word += wordLength;
    word += strspn(word, " ");
  }
  return false;
}
