// The three tables whose structure both layouts share: BookInfo (3), CharX
// (7) and Prices (13). Their book numbers are Number fields in both.
#include "generator/TableFillers.h"

namespace remdo::tools {

void FillBookInfo(TTableWriter& table, const TCatalogueModel& model) {
  const int book = table.Column("Book"), rating = table.Column("Rating"), read = table.Column("Read");
  const int userA = table.Column("User A"), userC = table.Column("User C"), special = table.Column("Special");
  const int notes = table.Column("Notes");
  const auto leader = static_cast<std::size_t>(table.Width(notes) - 10);
  for (std::int32_t b = 1; b <= model.Books(); ++b) {
    if (!model.Book(b).personalNotes) continue;
    TRandom random = model.Stream(TStream::kNotes, b);
    TRecordBuilder& record = table.NewRecord();
    record.SetInteger(book, b);
    record.SetText(rating, std::string(static_cast<std::size_t>(random.Between(1, 5)), '*'));
    record.SetText(read, std::to_string(random.Between(1990, 2024)));
    record.SetText(userA, random.PerMille(500) ? "Kept" : "Shelf");
    record.SetText(userC, "Copy " + std::to_string(random.Between(1, 3)));
    record.SetInteger(special, 0);
    if (model.HasMemo(random)) record.SetMemo(notes, model.MemoText(random, leader, record.MemosSoFar()));
    table.Insert();
  }
}

void FillCharacters(TTableWriter& table, const TCatalogueModel& model) {
  const int book = table.Column("Book"), role = table.Column("Role"), name = table.Column("Name");
  const int extName = table.Column("ExtName"), soundexA = table.Column("SoundexA");
  const int soundexB = table.Column("SoundexB"), status = table.Column("Status");
  for (std::int32_t b = 1; b <= model.Books(); ++b) {
    const TBookFacts facts = model.Book(b);
    TRandom random = model.Stream(TStream::kCharacter, b);
    for (int r = 1; r <= facts.characters; ++r) {
      const TPersonName person = MakePersonName(random);
      TRecordBuilder& record = table.NewRecord();
      record.SetInteger(book, b);
      record.SetInteger(role, r);
      record.SetText(name, person.first);
      record.SetText(extName, person.first + " " + person.last);
      record.SetText(soundexA, Soundex(person.first));
      record.SetText(soundexB, Soundex(person.last));
      record.SetInteger(status, 1);
      table.Insert();
    }
  }
}

void FillPrices(TTableWriter& table, const TCatalogueModel& model) {
  const int book = table.Column("Book"), release = table.Column("Release"), qty = table.Column("Qty");
  const int price1 = table.Column("Price1"), price2 = table.Column("Price2"), price3 = table.Column("Price3");
  for (std::int32_t b = 1; b <= model.Books(); ++b) {
    const TBookFacts facts = model.Book(b);
    TRandom random = model.Stream(TStream::kReissue, -b);
    for (int r = 1; r <= facts.releases; ++r) {
      if (!random.PerMille(500)) continue;
      const int cents = random.Between(199, 4999);
      TRecordBuilder& record = table.NewRecord();
      record.SetInteger(book, b);
      record.SetInteger(release, r);
      record.SetInteger(qty, random.Between(1, 2));
      record.SetFloat(price1, cents / 100.0);
      record.SetFloat(price2, (cents + 150) / 100.0);
      record.SetFloat(price3, (cents / 2) / 100.0);
      table.Insert();
    }
  }
}

}  // namespace remdo::tools
