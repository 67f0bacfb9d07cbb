// The companion command: data set builder, archive and file tools.
#pragma once

int tool_main(int argc, char **argv);
