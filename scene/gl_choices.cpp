#include "scene/gl_choices.h"

#include <string.h>

double perspectiveAspect(int width, int height) {
  return static_cast<double>(width) / static_cast<double>(height);
}

bool namesExtension(const char* list, const char* name) {
  size_t length = strlen(name);
  if (list == nullptr || length == 0) return false;
  // strchr and strncmp: the oldest C runtime the saver runs with has no strspn.
  for (const char* word = list; *word != '\0';) {
    const char* end = strchr(word, ' ');
    size_t wordLength = end != nullptr ? static_cast<size_t>(end - word) : strlen(word);
    if (wordLength == length && strncmp(word, name, length) == 0) return true;
    word += wordLength;
    while (*word == ' ') ++word;
  }
  return false;
}
