#include "photo/photo_check.h"

namespace dlvr {

std::vector<TPhotoFinding> CheckPhotos(const TPhotoStore& store, const TPhotoCheckPeriod& period) {
  (void)store;
  (void)period;
  return {};
}

}  // namespace dlvr
