// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace pictora::test
{

/// The make run's question about an "html" folder, written out here independently of the code
/// that asks it, so a changed text fails the suites that script it.
inline const std::string kHtmlQuestion
    = "出力先フォルダにhtmlフォルダを作成しますか?\n\n\t「はい」　… "
      "指定した出力先に新規で\"html\"という名前のフォルダを作成し、そこにアルバムファイルを作成します。\n\t「"
      "いいえ」… 指定した出力先に直接アルバムファイルを作成します。";

} // namespace pictora::test
