#include "ui/texts.hpp"

#include <string>

#include "system/error.hpp"

#ifndef MIVORA_VERSION
#error "MIVORA_VERSION must be defined by the build"
#endif
#ifndef MIVORA_WEB_HOST
#error "MIVORA_WEB_HOST must be defined by the build"
#endif
#ifndef MIVORA_CONTACT_ADDRESS
#error "MIVORA_CONTACT_ADDRESS must be defined by the build"
#endif

namespace n_zorbel::n_ui {

namespace {

// What the Windows loader reports for a string id that has no entry.
constexpr std::uint32_t kErrorResourceNameNotFound = 1814;

constexpr t_TextEntry kEnglishTexts[] = {
    {101, "Video file(s)"},
    {102, "Browse..."},
    {103, "Cover file"},
    {104, "Browse..."},
    {105, "Title"},
    {106, "Author"},
    {107, "Genre"},
    {108, "+"},
    {109, "Year"},
    {110, "Audio source(s)"},
    {111, "Video source(s)"},
    {112, "Comment"},
    {113, "Remove tags that are left blank"},
    {114, "Apply"},
    {115, "Stop"},
    {116, "Donate"},
    {117, "About"},
    {118, "Cover preview"},
    {119, "Video files"},
    {120, "Image files"},
    {121, "Add files"},
    {122, "Add video"},
    {123, "Set cover"},
    {124, "Unsupported file"},
    {125, "Always on top"},
    {126, "The tagger did not accept a tag value or an option."},
    {127, "The video is missing, is a folder, or cannot be read."},
    {128, "The video is not an MP4 file, or it is damaged."},
    {129, "The tagger cannot write this MP4 layout safely; the video was left as it was."},
    {130, "The cover is missing, cannot be read, is over 64 MiB, or is not a JPEG or PNG picture."},
    {131, "Writing the video failed."},
    {132, "What was written did not read back right; the tagger took it back as far as the disk allowed."},
    {133,
     "“%1” is too long to hand to the tagger: this system takes at most %2 bytes for it. Nothing was "
     "tagged."},
    {134,
     "The values are too long together to hand to the tagger: this system takes at most %2 bytes for all of "
     "them. Shorten “%1”, the longest. Nothing was tagged."},
    {135,
     "The values are too long together to hand to the tagger: this system takes at most %2 characters for "
     "all of them. Shorten “%1”, the longest. Nothing was tagged."},
    {136, "Some files were not added: their paths are longer than this system allows. Skipped: %1"},
    {137, "The video was replaced by a link after it was added; it was not tagged."},
    {138, "Mivora is already running."},
    {139, "The files given to this start were not added; drop them onto its window."},
    {140, "Browse for videos"},
    {141, "Browse for a cover"},
    {142, "Add a genre"},
    {143,
     "The menu key or Shift+F10 opens its menu: draw checks, draw video reel, fit into 256x256, refresh, "
     "remove the cover, load the tags of the first video."},
    {144, "Every video is tagged."},
    {145, "Tagging stopped."},
    {146, "Tagging failed."},
    {147, "Writing failed: access to the video was denied; it may be read-only or write-protected."},
    {148, "Writing failed: there is not enough room on the disk for the video."},
    {149, "Writing failed: another program is using the video."},
    {150, "Writing failed: the device could not read or write the data."},
    {151, "The tags of “%1” could not be loaded; the fields stay as they were."},
    {152, "The video's “%1” is longer than the field takes: at most %2 characters. Nothing was loaded."},
    {153, "The video's “%1” holds characters the field does not take. Nothing was loaded."},
    {154, "The tags of the first video are loaded."},
};
constexpr t_TextEntry kDutchTexts[] = {
    {101, "Video bestand(en)"},
    {102, "Openen..."},
    {103, "Omslag-afbeelding bestand"},
    {104, "Openen..."},
    {105, "Titel"},
    {106, "Auteur"},
    {107, "Genre"},
    {108, "+"},
    {109, "Jaar"},
    {110, "Audio bron(nen)"},
    {111, "Video bron(nen)"},
    {112, "Commentaar"},
    {113, "Verwijder tags die leeg zijn"},
    {114, "Toepassen"},
    {115, "Stop"},
    {116, "Doneer"},
    {117, "Over"},
    {118, "Omslagafbeelding voorbeeld"},
    {119, "Video-bestanden"},
    {120, "Afbeeldings-bestanden"},
    {121, "Bestanden toevoegen"},
    {122, "Video toevoegen"},
    {123, "Set cover"},
    {124, "Bestand wordt niet ondersteund"},
    {125, "Altijd bovenop"},
    {126, "De tagger accepteerde een tagwaarde of optie niet."},
    {127, "De video ontbreekt, is een map of kan niet worden gelezen."},
    {128, "De video is geen MP4-bestand of is beschadigd."},
    {129, "De tagger kan deze MP4-indeling niet veilig schrijven; de video is gebleven zoals hij was."},
    {130,
     "De omslag ontbreekt, kan niet worden gelezen, is groter dan 64 MiB of is geen JPEG- of "
     "PNG-afbeelding."},
    {131, "Het schrijven van de video is mislukt."},
    {132,
     "Wat geschreven werd, las niet goed terug; de tagger heeft het teruggedraaid voor zover de schijf dat "
     "toeliet."},
    {133,
     "De waarde van „%1” is te lang om aan de tagger door te geven: dit systeem neemt er hoogstens %2 bytes "
     "van aan. Er is "
     "niets getagd."},
    {134,
     "De waarden zijn samen te lang om aan de tagger door te geven: dit systeem neemt hoogstens %2 bytes "
     "voor alle samen aan. Kort „%1” in, de langste. Er is niets getagd."},
    {135,
     "De waarden zijn samen te lang om aan de tagger door te geven: dit systeem neemt hoogstens %2 tekens "
     "voor alle samen aan. Kort „%1” in, de langste. Er is niets getagd."},
    {136,
     "Sommige bestanden zijn niet toegevoegd: hun paden zijn langer dan dit systeem toestaat. Overgeslagen: "
     "%1"},
    {137, "De video is na het toevoegen door een koppeling vervangen; hij is niet getagd."},
    {138, "Mivora draait al."},
    {139, "De bestanden die deze start kreeg, zijn niet toegevoegd; sleep ze naar het venster."},
    {140, "Bladeren naar video's"},
    {141, "Bladeren naar een omslag"},
    {142, "Een genre toevoegen"},
    {143,
     "De menutoets of Shift+F10 opent het menu: schaakbordpatroon, filmstrook, passend maken in 256x256, "
     "vernieuwen, de omslag verwijderen, de tags van de eerste video laden."},
    {144, "Alle video's zijn getagd."},
    {145, "Taggen gestopt."},
    {146, "Taggen mislukt."},
    {147,
     "Schrijven mislukt: de toegang tot de video is geweigerd; hij is misschien alleen-lezen of tegen "
     "schrijven beveiligd."},
    {148, "Schrijven mislukt: er is niet genoeg ruimte op de schijf voor de video."},
    {149, "Schrijven mislukt: een ander programma gebruikt de video."},
    {150, "Schrijven mislukt: het apparaat kon de gegevens niet lezen of schrijven."},
    {151, "De tags van “%1” konden niet worden geladen; de velden blijven zoals ze waren."},
    {152, "“%1” van de video is langer dan het veld toelaat: hoogstens %2 tekens. Er is niets geladen."},
    {153, "“%1” van de video bevat tekens die het veld niet toelaat. Er is niets geladen."},
    {154, "De tags van de eerste video zijn geladen."},
};
constexpr t_TextEntry kRussianTexts[] = {
    {101, "Файл(ы) видео"},
    {102, "Обзор..."},
    {103, "Файл обложки"},
    {104, "Обзор..."},
    {105, "Название"},
    {106, "Автор"},
    {107, "Жанр"},
    {108, "+"},
    {109, "Год"},
    {110, "Аудио исходник(и)"},
    {111, "Видео исходник(и)"},
    {112, "Комментарий"},
    {113, "Убрать теги, оставленные пустыми"},
    {114, "Применить"},
    {115, "Стоп"},
    {116, "Донейт"},
    {117, "О программе"},
    {118, "Превью обложки"},
    {119, "Файлы видео"},
    {120, "Файлы изображений"},
    {121, "Добавить файлы"},
    {122, "Добавить видео"},
    {123, "Задать обложку"},
    {124, "Формат не поддерживается"},
    {125, "Поверх всех окон"},
    {126, "Программа записи тегов не приняла значение тега или параметр."},
    {127, "Видео отсутствует, является папкой или не читается."},
    {128, "Видео не является файлом MP4 или повреждено."},
    {129, "Эту структуру MP4 нельзя записать безопасно; видео осталось прежним."},
    {130, "Обложка отсутствует, не читается, больше 64 МиБ или не является изображением JPEG или PNG."},
    {131, "Не удалось записать видео."},
    {132, "Записанное не прошло проверку; программа отменила запись, насколько это позволил диск."},
    {133,
     "Значение поля «%1» слишком длинное для передачи программе записи тегов: эта система принимает не более "
     "%2 байт. Ничего не записано."},
    {134,
     "Значения вместе слишком длинные для передачи программе записи тегов: эта система принимает для всех не "
     "более %2 байт. Сократите поле «%1», самое длинное. Ничего не записано."},
    {135,
     "Значения вместе слишком длинные для передачи программе записи тегов: эта система принимает для всех не "
     "более %2 символов. Сократите поле «%1», самое длинное. Ничего не записано."},
    {136, "Некоторые файлы не добавлены: их пути длиннее, чем допускает система. Пропущено: %1"},
    {137, "После добавления видео было заменено ссылкой; теги не записаны."},
    {138, "Mivora уже запущена."},
    {139, "Файлы, переданные этому запуску, не добавлены; перетащите их в её окно."},
    {140, "Выбрать видео"},
    {141, "Выбрать обложку"},
    {142, "Добавить жанр"},
    {143,
     "Клавиша меню или Shift+F10 открывает меню: шахматный фон, киноплёнка, вписать в 256x256, обновить, "
     "удалить обложку, загрузить теги первого видео."},
    {144, "Теги записаны во все видео."},
    {145, "Запись тегов остановлена."},
    {146, "Запись тегов не удалась."},
    {147,
     "Запись не удалась: доступ к видео запрещён; возможно, оно только для чтения или защищено от "
     "записи."},
    {148, "Запись не удалась: на диске недостаточно места для видео."},
    {149, "Запись не удалась: видео занято другой программой."},
    {150, "Запись не удалась: устройство не смогло прочитать или записать данные."},
    {151, "Не удалось загрузить теги «%1»; поля остались прежними."},
    {152, "Значение «%1» в видео длиннее, чем вмещает поле: не более %2 символов. Ничего не загружено."},
    {153, "Значение «%1» в видео содержит символы, которые поле не принимает. Ничего не загружено."},
    {154, "Теги первого видео загружены."},
};
constexpr t_TextEntry kGreekTexts[] = {
    {101, "Αρχείο(α) βίντεο"},
    {102, "Εύρεση..."},
    {103, "Αρχείο καλύμματος"},
    {104, "Εύρεση..."},
    {105, "Τίτλος"},
    {106, "Δημιουργός"},
    {107, "Είδος"},
    {108, "+"},
    {109, "Έτος"},
    {110, "Πηγή(ές) ήχου"},
    {111, "Πηγή(ές) βίντεο"},
    {112, "Σχόλιο"},
    {113, "Αφαίρεση ετικετών που είναι κενές"},
    {114, "Εφαρμογή"},
    {115, "Διακοπή"},
    {116, "Δωρεά"},
    {117, "Περί"},
    {118, "Προεπισκόπηση καλύμματος"},
    {119, "Αρχεία βίντεο"},
    {120, "Αρχεία εικόνων"},
    {121, "Προσθήκη αρχείων"},
    {122, "Προσθήκη βίντεο"},
    {123, "Ορισμός καλύμματος"},
    {124, "Μη υποστηριζόμενο αρχείο"},
    {125, "Πάντα στην κορυφή"},
    {126, "Το πρόγραμμα ετικετών δεν δέχτηκε μια τιμή ετικέτας ή μια επιλογή."},
    {127, "Το βίντεο λείπει, είναι φάκελος ή δεν μπορεί να διαβαστεί."},
    {128, "Το βίντεο δεν είναι αρχείο MP4 ή είναι κατεστραμμένο."},
    {129, "Αυτή η δομή MP4 δεν μπορεί να γραφτεί με ασφάλεια· το βίντεο έμεινε όπως ήταν."},
    {130, "Το κάλυμμα λείπει, δεν διαβάζεται, ξεπερνά τα 64 MiB ή δεν είναι εικόνα JPEG ή PNG."},
    {131, "Η εγγραφή του βίντεο απέτυχε."},
    {132, "Όσα γράφτηκαν δεν διαβάστηκαν σωστά· αναιρέθηκαν όσο το επέτρεψε ο δίσκος."},
    {133,
     "Η τιμή του πεδίου «%1» είναι πολύ μεγάλη για να δοθεί στο πρόγραμμα ετικετών: αυτό το σύστημα δέχεται "
     "το πολύ %2 "
     "byte. Δεν γράφτηκε τίποτα."},
    {134,
     "Οι τιμές μαζί είναι πολύ μεγάλες για να δοθούν στο πρόγραμμα ετικετών: αυτό το σύστημα δέχεται το πολύ "
     "%2 byte για όλες. Συντομεύστε το πεδίο «%1», το μεγαλύτερο. Δεν γράφτηκε τίποτα."},
    {135,
     "Οι τιμές μαζί είναι πολύ μεγάλες για να δοθούν στο πρόγραμμα ετικετών: αυτό το σύστημα δέχεται το πολύ "
     "%2 χαρακτήρες για όλες. Συντομεύστε το πεδίο «%1», το μεγαλύτερο. Δεν γράφτηκε τίποτα."},
    {136,
     "Κάποια αρχεία δεν προστέθηκαν: οι διαδρομές τους είναι μεγαλύτερες από όσο επιτρέπει το σύστημα. "
     "Παραλείφθηκαν: %1"},
    {137, "Το βίντεο αντικαταστάθηκε από σύνδεσμο αφού προστέθηκε· δεν γράφτηκαν ετικέτες."},
    {138, "Το Mivora εκτελείται ήδη."},
    {139, "Τα αρχεία που δόθηκαν σε αυτή την εκκίνηση δεν προστέθηκαν· σύρετέ τα στο παράθυρό του."},
    {140, "Εύρεση βίντεο"},
    {141, "Εύρεση καλύμματος"},
    {142, "Προσθήκη είδους"},
    {143,
     "Το πλήκτρο μενού ή το Shift+F10 ανοίγει το μενού του: σκακιέρα, φιλμ, προσαρμογή σε 256x256, ανανέωση, "
     "αφαίρεση καλύμματος, φόρτωση των ετικετών του πρώτου βίντεο."},
    {144, "Οι ετικέτες γράφτηκαν σε όλα τα βίντεο."},
    {145, "Η εγγραφή ετικετών διακόπηκε."},
    {146, "Η εγγραφή ετικετών απέτυχε."},
    {147,
     "Η εγγραφή απέτυχε: η πρόσβαση στο βίντεο απορρίφθηκε· ίσως είναι μόνο για ανάγνωση ή "
     "προστατευμένο από εγγραφή."},
    {148, "Η εγγραφή απέτυχε: δεν υπάρχει αρκετός χώρος στον δίσκο για το βίντεο."},
    {149, "Η εγγραφή απέτυχε: άλλο πρόγραμμα χρησιμοποιεί το βίντεο."},
    {150, "Η εγγραφή απέτυχε: η συσκευή δεν μπόρεσε να διαβάσει ή να γράψει τα δεδομένα."},
    {151, "Δεν ήταν δυνατή η φόρτωση των ετικετών του «%1»· τα πεδία έμειναν όπως ήταν."},
    {152,
     "Το «%1» του βίντεο είναι μεγαλύτερο από όσο δέχεται το πεδίο: το πολύ %2 χαρακτήρες. Δεν φορτώθηκε "
     "τίποτα."},
    {153, "Το «%1» του βίντεο περιέχει χαρακτήρες που δεν δέχεται το πεδίο. Δεν φορτώθηκε τίποτα."},
    {154, "Οι ετικέτες του πρώτου βίντεο φορτώθηκαν."},
};

constexpr t_MenuItem kEnglishPreviewMenu[] = {
    {40020, "Draw checks"}, {40021, "Draw video reel"}, {40022, "Fit into 256x256 box"},
    {40023, "Refresh"},     {40024, "Remove"},          {40025, "Load tags from the first video"},
};
constexpr t_MenuItem kDutchPreviewMenu[] = {
    {40020, "Schaakbordpatroon tekenen"},
    {40021, "Filmstrook tekenen"},
    {40022, "Passend maken in vak van 256x256"},
    {40023, "Vernieuwen"},
    {40024, "Verwijderen"},
    {40025, "Tags laden uit de eerste video"},
};
constexpr t_MenuItem kRussianPreviewMenu[] = {
    {40020, "Рисовать шахматный фон"},
    {40021, "Рисовать киноплёнку"},
    {40022, "Вписать в квадрат 256x256"},
    {40023, "Обновить"},
    {40024, "Удалить"},
    {40025, "Загрузить теги из первого видео"},
};
constexpr t_MenuItem kGreekPreviewMenu[] = {
    {40020, "Σχεδίαση σκακιέρας"}, {40021, "Σχεδίαση φιλμ"}, {40022, "Προσαρμογή σε πλαίσιο 256x256"},
    {40023, "Ανανέωση"},           {40024, "Αφαίρεση"},      {40025, "Φόρτωση ετικετών από το πρώτο βίντεο"},
};

constexpr t_MenuItem kGenreMenu[] = {
    {40001, "Action"},
    {40002, "Character profile"},
    {40003, "Comedy"},
    {40004, "Cross-over"},
    {40005, "Dance"},
    {40006, "Drama"},
    {40007, "Ecchi"},
    {40008, "GMV"},
    {40009, "Horror"},
    {40010, "Instrumental"},
    {40011, "MEP"},
    {40012, "MMV"},
    {40013, "Original animation"},
    {40014, "Psychedelic"},
    {40015, "Romance"},
    {40016, "Sentimental"},
    {40017, "Story"},
    {40018, "Thrash"},
    {40019, "Trailer"},
};

constexpr std::string_view kVersion = MIVORA_VERSION;
constexpr std::string_view kWebHost = MIVORA_WEB_HOST;
constexpr std::string_view kContactAddress = MIVORA_CONTACT_ADDRESS;

// The query every page opened from the program carries; the blank stays unescaped.
std::string Query() { return "?from=Mivora v" + std::string(kVersion); }

std::string PageAddress(std::string_view path) {
  return "http://" + std::string(kWebHost) + std::string(path);
}

}  // namespace

std::string_view LanguageTag(t_Language language) noexcept {
  switch (language) {
    case t_Language::Dutch:
      return "nl";
    case t_Language::Russian:
      return "ru";
    case t_Language::Greek:
      return "el";
    case t_Language::English:
      break;
  }
  return "en";
}

std::uint16_t WindowsPrimaryLanguage(t_Language language) noexcept {
  switch (language) {
    case t_Language::Dutch:
      return 0x13;
    case t_Language::Russian:
      return 0x19;
    case t_Language::Greek:
      return 0x08;
    case t_Language::English:
      break;
  }
  return 0x09;
}

std::span<const t_TextEntry> StringTable(t_Language language) noexcept {
  switch (language) {
    case t_Language::Dutch:
      return kDutchTexts;
    case t_Language::Russian:
      return kRussianTexts;
    case t_Language::Greek:
      return kGreekTexts;
    case t_Language::English:
      break;
  }
  return kEnglishTexts;
}

std::span<const t_MenuItem> PreviewMenuItems(t_Language language) noexcept {
  switch (language) {
    case t_Language::Dutch:
      return kDutchPreviewMenu;
    case t_Language::Russian:
      return kRussianPreviewMenu;
    case t_Language::Greek:
      return kGreekPreviewMenu;
    case t_Language::English:
      break;
  }
  return kEnglishPreviewMenu;
}

std::span<const t_MenuItem> GenreMenuItems() noexcept { return kGenreMenu; }

std::string_view TextUtf8(t_Language language, int id) {
  const auto table = StringTable(language);
  if (id >= kFirstTextId && id <= kLastTextId) {
    const auto& entry = table[static_cast<std::size_t>(id - kFirstTextId)];
    if (entry.id == id) return entry.text;
  }
  n_system::RaiseSystemError(kErrorResourceNameNotFound);
}

t_String LoadText(t_Language language, int id) { return FromUtf8(TextUtf8(language, id)); }

std::string_view Version() noexcept { return kVersion; }
std::string_view WebHost() noexcept { return kWebHost; }
std::string_view ContactAddress() noexcept { return kContactAddress; }

t_String AboutVersionLine() { return FromUtf8("Mivora v" + std::string(kVersion)); }

t_String AboutDeveloperLine() { return FromUtf8("Made by Zorbel. Contact: " + std::string(kContactAddress)); }

t_String DonationPageAddress() { return FromUtf8(PageAddress("/donate") + Query()); }
t_String ProductPageAddress() { return FromUtf8(PageAddress("/Mivora") + Query()); }
t_String ProductLinkAddress() { return FromUtf8(PageAddress("/Mivora")); }

}  // namespace n_zorbel::n_ui
