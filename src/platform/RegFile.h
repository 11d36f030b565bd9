#pragma once

// The Windows registry export format ("Windows Registry Editor Version 5.00"), in parts of one
// job each. No I/O in any of them.
//   RegKeyTree.h     the key tree, its names and values as the registry keeps them
//   RegFileParser.h  a file's text into its sections
//   RegTreeBuilder.h sections applied to a tree; a whole store file read into one
//   RegFileIndex.h   a store file read only as far as its keys
//   RegFileWriter.h  a tree written as a file
#include "platform/RegFileFormat.h"
#include "platform/RegFileIndex.h"
#include "platform/RegFileParser.h"
#include "platform/RegFileWriter.h"
#include "platform/RegKeyTree.h"
#include "platform/RegTreeBuilder.h"
