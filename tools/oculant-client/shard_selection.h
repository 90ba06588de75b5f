// Which poses of a list one recording takes, so that a long list can be split over many runs
// ("--shard K/N") whose outputs merge by copying.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

struct ShardSelection {
  size_t number = 1;  // K, counted from 1
  size_t count = 1;   // N; the whole list is shard 1/1

  // Every count-th pose from the number-th; poseIndex counts from 0.
  bool holds(size_t poseIndex) const { return poseIndex % count == number - 1; }
  // How many of a list of poses this shard holds.
  size_t sizeOf(size_t poses) const { return poses / count + (poses % count >= number ? 1 : 0); }
};

// Reads "K/N": two whole numbers, 1 <= K <= N. False with error saying what is wrong.
bool parseShard(const std::string& text, ShardSelection* shard, std::string* error);

// Whether a run may write into the folder outdir without --overwrite: only when all it holds
// is the file tableName with exactly tableText in it (the same list, recorded by another
// shard) and the sample folders of poses other shards take (sampleNames: the list's samples in
// order). Names starting with a dot are passed over: runs under way write their temporaries
// so. False with reason naming the first entry in the way, or why the folder cannot be read.
bool mayWriteWithoutOverwrite(const std::filesystem::path& outdir, const ShardSelection& shard,
                              const std::vector<std::string>& sampleNames,
                              const std::string& tableName, const std::string& tableText,
                              std::string* reason);
