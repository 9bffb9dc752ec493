// SPDX-License-Identifier: GPL-3.0-or-later
// Chunks of lines depend on the lines alone: not on the line ends, nor on
// what comes before them, nor on how the text is shared out among threads.
#include "db/line_chunks.h"

#include <gtest/gtest.h>

#include "tools/loggen/log_generator.h"

namespace varnokel {
namespace {

std::vector<std::pair<uint64_t, uint32_t>> Digests(const std::vector<LineChunk>& chunks,
                                                   size_t from) {
  std::vector<std::pair<uint64_t, uint32_t>> digests;
  for (size_t i = from; i < chunks.size(); ++i)
    digests.emplace_back(chunks[i].digest, chunks[i].lines);
  return digests;
}

TEST(LineChunks, DependOnTheLinesAlone) {
  loggen::LogGenOptions options;
  options.lines = 30000;  // some megabytes: cut on several threads
  const std::string log = loggen::GenerateLog(options);
  const std::vector<LineChunk> chunks = ChunkLines(log, /*last_is_line=*/false);
  ASSERT_GT(chunks.size(), options.lines / kMeanChunkLines / 2);
  size_t lines = 0;
  for (const LineChunk& chunk : chunks) {
    lines += chunk.lines;
    EXPECT_EQ(chunk.digest, LinesDigest(log, chunk.begin, chunk.lines));
  }
  EXPECT_EQ(lines, options.lines);
  EXPECT_FALSE(chunks.back().complete);

  std::string lf = log;
  std::erase(lf, '\r');
  EXPECT_EQ(Digests(ChunkLines(lf, false), 0), Digests(chunks, 0));
  // Lines before them change only the chunk they join.
  const std::vector<LineChunk> shifted = ChunkLines("L 03/15/2003 - 20:00:00: x\n" + log, false);
  EXPECT_EQ(Digests(shifted, 1), Digests(chunks, 1));
}

}  // namespace
}  // namespace varnokel
