// The part of Xvid's public interface (xvidcore 1.3, API 4.3) that Vantor uses,
// declared here so that the Windows builds need no Xvid headers. The records follow
// xvid.h field by field; in a 32-bit build they are 104, 100 and 52 bytes long, and the
// native tests compare every offset with the system's xvid.h.
#pragma once
#include <cstdint>

namespace vantor::xvid {

constexpr int kVersion = 0x00010302;  // 1.3.2: the oldest library whose records we fill

// xvid_global operations.
constexpr int kGlobalInit = 0;
// xvid_encore operations.
constexpr int kEncCreate = 0;
constexpr int kEncDestroy = 1;
constexpr int kEncEncode = 2;

constexpr int kProfileSimpleL0 = 0x08;
// Packed 24-bit BGR, rows read from the bottom up: the layout of a Windows DIB.
constexpr int kCspBgr = 1 << 9;
constexpr int kCspVFlip = static_cast<int>(0x80000000u);
constexpr int kTypeAuto = 0;
constexpr int kTypeIVop = 1;
// xvid_enc_frame_t.out_flags: the frame just coded is a key frame.
constexpr int kOutKeyFrame = 1 << 1;

// Every entry point, including the rate-control plug-in, has the C calling convention.
using EntryPoint = int (*)(void* pHandle, int nOperation, void* pParam1, void* pParam2);

struct GlobalInit {  // xvid_gbl_init_t
  int version;
  unsigned int cpu_flags;
  int debug;
};

struct Image {  // xvid_image_t
  int csp;
  void* plane[4];
  int stride[4];
};

struct EncPlugin {  // xvid_enc_plugin_t
  EntryPoint func;
  void* param;
};

struct PluginSingle {  // xvid_plugin_single_t
  int version;
  int bitrate;
  int reaction_delay_factor;
  int averaging_period;
  int buffer;
};

struct EncCreate {  // xvid_enc_create_t
  int version;
  int profile;
  int width;
  int height;
  int num_zones;
  void* zones;
  int num_plugins;
  EncPlugin* plugins;
  int num_threads;
  int max_bframes;
  int global;
  int fincr;
  int fbase;
  int max_key_interval;
  int frame_drop_ratio;
  int bquant_ratio;
  int bquant_offset;
  int min_quant[3];
  int max_quant[3];
  void* handle;
  int start_frame_num;
  int num_slices;
};

struct EncFrame {  // xvid_enc_frame_t
  int version;
  int vol_flags;
  unsigned char* quant_intra_matrix;
  unsigned char* quant_inter_matrix;
  int par;
  int par_width;
  int par_height;
  int fincr;
  int vop_flags;
  int motion;
  Image input;
  int type;
  int quant;
  int bframe_threshold;
  void* bitstream;
  int length;
  int out_flags;
};

struct EncStats {  // xvid_enc_stats_t
  int version;
  int type;
  int quant;
  int vol_flags;
  int vop_flags;
  int length;
  int hlength;
  int kblks;
  int mblks;
  int ublks;
  int sse_y;
  int sse_u;
  int sse_v;
};

static_assert(sizeof(EncStats) == 52);
static_assert(sizeof(void*) != 4 || sizeof(EncCreate) == 104);
static_assert(sizeof(void*) != 4 || sizeof(EncFrame) == 100);

// The three entry points a recording binds.
struct EntryPoints {
  EntryPoint pfnGlobal = nullptr;
  EntryPoint pfnEncore = nullptr;
  EntryPoint pfnPluginSingle = nullptr;

  bool IsComplete() const { return pfnGlobal && pfnEncore && pfnPluginSingle; }
};

}  // namespace vantor::xvid
