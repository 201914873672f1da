// The string table (Brazilian Portuguese). Texts are UTF-8 here; RCString
// hands them out as Windows-1252.
#include <algorithm>
#include <array>

#include "resources/rcstring.h"

namespace {

struct Entry {
  unsigned id;
  const char* text;
};

// Sorted by ID.
constexpr std::array kTable{
    Entry{208, "KittyHawk"},
    Entry{221, "Transferindo %s"},
    Entry{222, "Transferindo novo conduit"},
    Entry{223, "Autenticando usuário"},
    Entry{225, "Verificando módulos, aguarde..."},
    Entry{226, "Procurando atualizações, aguarde..."},
    Entry{227, "1 minuto"},
    Entry{228, "%d minutos"},
    Entry{229, "%d segundos"},
    Entry{230, "%s e %d segundos"},
    Entry{231, "&Novo"},
    Entry{232, "&Terminar"},
    Entry{234, "Usuário do Hotsync: %s"},
    Entry{235, "&Cancelar"},
    Entry{236, "< &Retornar"},
    Entry{237, "&Próximo >"},
    Entry{238, "Escolha um usuário"},
    Entry{239, "&Aplicar"},
    Entry{280, "Tarvo - Conexão internet inativa."},
    Entry{281, "Sincronizando Tarvo"},
    Entry{282, "PT"},
    Entry{283, " "},
    Entry{284, TARVO_WEBSITE_BASE},
    Entry{290, "Tarvo - %s: servidor inacessível (erro %u)."},
    Entry{291, "Tarvo - %s: o servidor não respondeu a tempo."},
    Entry{292, "Tarvo - %s: o servidor respondeu com o erro HTTP %u."},
    Entry{293, "Tarvo - %s: o servidor enviou uma resposta vazia."},
    Entry{294, "Tarvo - %s: o servidor enviou uma resposta ilegível."},
    Entry{295, "Tarvo - %s: login não informado."},
    Entry{296, "Tarvo - %s: login não informado a tempo."},
    Entry{297, "Tarvo - HotSync cancelado."},
    Entry{57344, "Tarvo Sync"},
};

static_assert(std::is_sorted(kTable.begin(), kTable.end(), [](const Entry& a, const Entry& b) { return a.id < b.id; }));

}  // namespace

namespace tarvo {

const char* StringResourceUtf8(unsigned id) {
  auto it =
      std::lower_bound(kTable.begin(), kTable.end(), id, [](const Entry& e, unsigned wanted) { return e.id < wanted; });
  return it != kTable.end() && it->id == id ? it->text : nullptr;
}

const char* DefaultSyncServerUrl() { return TARVO_DEFAULT_SYNC_URL; }

}  // namespace tarvo
