#pragma once
// Filter files: filter sets and elements written as a small line-based text, so that a run
// without the options dialog (tovimar-cli --filter-file) can choose its filters. The format is
// described with an example in docs/FILTER_FILE.md.
//
//   default -Collations off            # root default elements, top level only
//   set Sales                          # a set below the current one; "off" leaves it unchecked
//     Include  dbo.%       Tab,View  +FileGroups
//     Force Exclude  [dbo].[Order Details]  Tab  off
//     Include  dbo.Orders  Tab  CopyData   # the "|" lines below are its data copy
//                                          # definition, joined by CR LF
//       | Notes, [Internal Memo]
//       | OrderDate >= '19980101'
//     set Archive off
//       Exclude %  Proc,Func  -Cache
//     end
//   end
#include "filters/filter_model.h"

#include <QString>

// Error number of a filter file that cannot be read, and of one whose text is malformed.
inline constexpr long FilterFileOpenError = 53;
inline constexpr long FilterFileSyntaxError = 1001;

// Reads the filter file at path (UTF-8) and adds its sets below the root of sets; the root keeps
// its default elements. Throws TovimarException (source "LoadFilterFile") naming the file and,
// for malformed text, the line and what is wrong; sets is left unchanged then.
void LoadFilterFile(const QString& path, FilterSets& sets);

// The same for text already in memory; fileName is only used in error messages.
void LoadFilterText(const QString& text, const QString& fileName, FilterSets& sets);

// Writes the sets below the root (and the root's default elements when they are unchecked) in
// the filter file format, so that LoadFilterText of the result rebuilds them.
QString FilterFileText(const FilterSets& sets);
