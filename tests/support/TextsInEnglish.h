// The tool's texts in English for the life of one scope, then Chinese again
// (every test program starts in Chinese).
#pragma once

#include <gtest/gtest.h>

#include "lang/Texts.h"

class TextsInEnglish {
 public:
  TextsInEnglish() { EXPECT_EQ(lang::Use(lang::Language::English), "") << "the catalogue this build made"; }
  ~TextsInEnglish() { lang::Use(lang::Language::Chinese); }
  TextsInEnglish(const TextsInEnglish&) = delete;
  TextsInEnglish& operator=(const TextsInEnglish&) = delete;
};
