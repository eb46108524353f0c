// Our declarations of Xvid's records against the library's own header (native only:
// the Windows builds have no xvid.h, which is why the declarations exist).
#include <gtest/gtest.h>
#include <xvid.h>

#include <cstddef>

#include "media/XvidApi.h"

namespace vantor::test {
namespace {

#define VANTOR_SAME_FIELD(ours, theirs, field) EXPECT_EQ(offsetof(ours, field), offsetof(theirs, field)) << #field

TEST(recorder_XvidLayout, RecordsMatchXvidH) {
  EXPECT_EQ(sizeof(xvid::EncCreate), sizeof(xvid_enc_create_t));
  EXPECT_EQ(sizeof(xvid::EncFrame), sizeof(xvid_enc_frame_t));
  EXPECT_EQ(sizeof(xvid::EncStats), sizeof(xvid_enc_stats_t));
  EXPECT_EQ(sizeof(xvid::GlobalInit), sizeof(xvid_gbl_init_t));
  EXPECT_EQ(sizeof(xvid::PluginSingle), sizeof(xvid_plugin_single_t));
  EXPECT_EQ(sizeof(xvid::EncPlugin), sizeof(xvid_enc_plugin_t));
  EXPECT_EQ(sizeof(xvid::Image), sizeof(xvid_image_t));

  VANTOR_SAME_FIELD(xvid::EncCreate, xvid_enc_create_t, profile);
  VANTOR_SAME_FIELD(xvid::EncCreate, xvid_enc_create_t, zones);
  VANTOR_SAME_FIELD(xvid::EncCreate, xvid_enc_create_t, plugins);
  VANTOR_SAME_FIELD(xvid::EncCreate, xvid_enc_create_t, max_bframes);
  VANTOR_SAME_FIELD(xvid::EncCreate, xvid_enc_create_t, fincr);
  VANTOR_SAME_FIELD(xvid::EncCreate, xvid_enc_create_t, fbase);
  VANTOR_SAME_FIELD(xvid::EncCreate, xvid_enc_create_t, max_quant);
  VANTOR_SAME_FIELD(xvid::EncCreate, xvid_enc_create_t, handle);
  VANTOR_SAME_FIELD(xvid::EncCreate, xvid_enc_create_t, num_slices);
  VANTOR_SAME_FIELD(xvid::EncFrame, xvid_enc_frame_t, quant_intra_matrix);
  VANTOR_SAME_FIELD(xvid::EncFrame, xvid_enc_frame_t, par);
  VANTOR_SAME_FIELD(xvid::EncFrame, xvid_enc_frame_t, motion);
  VANTOR_SAME_FIELD(xvid::EncFrame, xvid_enc_frame_t, input);
  VANTOR_SAME_FIELD(xvid::EncFrame, xvid_enc_frame_t, type);
  VANTOR_SAME_FIELD(xvid::EncFrame, xvid_enc_frame_t, quant);
  VANTOR_SAME_FIELD(xvid::EncFrame, xvid_enc_frame_t, bitstream);
  VANTOR_SAME_FIELD(xvid::EncFrame, xvid_enc_frame_t, length);
  VANTOR_SAME_FIELD(xvid::EncFrame, xvid_enc_frame_t, out_flags);
  VANTOR_SAME_FIELD(xvid::Image, xvid_image_t, plane);
  VANTOR_SAME_FIELD(xvid::Image, xvid_image_t, stride);
  VANTOR_SAME_FIELD(xvid::EncStats, xvid_enc_stats_t, sse_v);
  VANTOR_SAME_FIELD(xvid::PluginSingle, xvid_plugin_single_t, buffer);

  EXPECT_EQ(xvid::kCspBgr | xvid::kCspVFlip, static_cast<int>(XVID_CSP_BGR | XVID_CSP_VFLIP));
  EXPECT_EQ(xvid::kOutKeyFrame, XVID_KEYFRAME);
  EXPECT_EQ(xvid::kEncEncode, XVID_ENC_ENCODE);
  EXPECT_EQ(xvid::kEncDestroy, XVID_ENC_DESTROY);
  EXPECT_EQ(xvid::kTypeIVop, XVID_TYPE_IVOP);
  EXPECT_EQ(xvid::kProfileSimpleL0, XVID_PROFILE_S_L0);
}

}  // namespace
}  // namespace vantor::test
