#include <string>
#include <vector>

#include "memofs/directory_table.h"
#include "memofs/index_text.h"
#include "organizer-sim/organizer.h"

namespace tavo::sim {
namespace {

using memofs::DirectoryEntry;

// One directory of the demo tree being filled: its index name and its rows.
class DemoDirectory {
 public:
  DemoDirectory(Organizer& organizer, std::string index_name)
      : organizer_(organizer), index_name_(std::move(index_name)) {
    rows_.push_back(DirectoryEntry{"..", memofs::kTypeParent, 0, 0, 0});
  }

  // Adds a directory row and returns the index name of the new directory.
  std::string AddDirectory(const std::string& name) {
    const auto number = static_cast<std::int16_t>(rows_.size() - 1);
    rows_.push_back(DirectoryEntry{name, memofs::kTypeDirectory, 0, 0, number});
    return memofs::ChildIndexName(index_name_, number);
  }

  // Stores the text as parts of 1956 characters and adds its file row.
  void AddFile(const std::string& name, const std::string& text) {
    const auto number = static_cast<std::int16_t>(rows_.size() - 1);
    const int last_part = static_cast<int>(text.size() / memofs::kPartSize);
    const int last_size = static_cast<int>(text.size() % memofs::kPartSize);
    const std::string stem = memofs::ChildIndexName(index_name_, number);
    for (int part = 0; part <= last_part; ++part) {
      organizer_.PutText(
          memofs::PartName(stem, part, last_part),
          text.substr(static_cast<std::size_t>(part) * memofs::kPartSize, memofs::kPartSize));
    }
    rows_.push_back(DirectoryEntry{name, memofs::kTypeFile, static_cast<std::int16_t>(last_part),
                                   static_cast<std::int16_t>(last_size), number});
  }

  void Write() { organizer_.PutText(index_name_, memofs::BuildIndexText(rows_)); }

 private:
  Organizer& organizer_;
  std::string index_name_;
  std::vector<DirectoryEntry> rows_;
};

std::string LongLetter() {
  std::string text = "Dear Grandma,\r\n\r\n";
  for (int i = 1; i <= 60; ++i) {
    text += "Line " + std::to_string(i) +
            " of a long letter, long enough to need three memos on the organizer.\r\n";
  }
  return text + "\r\nLove, Tavo\r\n";
}

}  // namespace

void SeedDemo(Organizer& organizer) {
  DemoDirectory root(organizer, memofs::kRootIndexName);
  const std::string letters = root.AddDirectory("Letters");
  const std::string recipes = root.AddDirectory("Recipes");
  const std::string notes = root.AddDirectory("Project Notes");
  root.AddFile("readme.txt", "This organizer was filled by the Tavo organizer simulator.\r\n");
  root.AddFile("shopping list.txt", "milk\r\nbread\r\n2 lemons\r\ncoffee\r\n");
  root.Write();

  DemoDirectory letters_dir(organizer, letters);
  const std::string archive = letters_dir.AddDirectory("Archive");
  letters_dir.AddFile("to grandma.txt", LongLetter());
  letters_dir.Write();

  DemoDirectory archive_dir(organizer, archive);
  archive_dir.AddFile("old letter.txt", "An old letter, kept two levels down.\r\n");
  archive_dir.Write();

  DemoDirectory recipes_dir(organizer, recipes);
  recipes_dir.AddFile("pancakes.txt", "2 eggs, 250 g flour, 500 ml milk, a pinch of salt.\r\n");
  recipes_dir.Write();

  DemoDirectory(organizer, notes).Write();

  organizer.PutText("Phone numbers", "Anna 555-0142\r\nBen 555-0199\r\n");
  organizer.PutText("TODO", "call the plumber\r\n");
  organizer.PutText("Meeting 12 May", "room 4, bring the slides\r\n");
}

}  // namespace tavo::sim
