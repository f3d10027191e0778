#pragma once

#include <string>
#include <vector>

namespace brindlecot {

// The template names the chooser offers: the titles of the regular files in `folder`
// whose extension (from the last dot) is exactly ".cfg" (".CFG" does not count), sorted
// as the chooser's list sorts them: by their GBK form (pinyin order for the common
// characters), letter case ignored. A missing folder gives none.
std::vector<std::string> ListTemplateNames(const std::string& folder);

// The program's folder of templates, conf/ beside the executable.
std::string TemplateFolder();
// The definition file of the template listed as `name`: conf/NAME.cfg.
std::string TemplatePath(const std::string& name);

// Whether `left` comes before `right` in the chooser's order.
bool TemplateNameLess(const std::string& left, const std::string& right);

}  // namespace brindlecot
