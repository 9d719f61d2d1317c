// Reading and writing test programs in the resource tests, where any refusal fails the test with
// the reader's or writer's message.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pe_file.h"
#include "resource_writer.h"

namespace pe_test {

inline PeFile Parse(const std::vector<uint8_t>& file) {
  PeFile pe{};
  std::string error;
  EXPECT_TRUE(ParsePeFile(file, &pe, &error)) << error;
  return pe;
}

inline std::vector<PeResource> Read(const std::vector<uint8_t>& file) {
  PeFile pe = Parse(file);
  std::vector<PeResource> list;
  std::string error;
  EXPECT_TRUE(ReadPeResources(file, pe, &list, &error)) << error;
  return list;
}

inline std::vector<uint8_t> Write(const std::vector<uint8_t>& file, const std::vector<ProgramResource>& requests) {
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_TRUE(WriteProgramResources(file, requests, &out, &error)) << error;
  return out;
}

}  // namespace pe_test
