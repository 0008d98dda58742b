#pragma once

// The whole display model in one include.

#include "color.h"
#include "display_owner.h"
#include "graph_data.h"
#include "graph_item.h"
#include "item.h"
#include "items.h"
#include "list.h"
#include "marker.h"
#include "render_resource.h"
#include "sample_summary.h"
#include "samples_packet.h"
#include "settings.h"
#include "types.h"
