#include "editor_shortcuts.h"

namespace tavrela {

namespace {

QString T(const char* text) {
    return QString::fromUtf8(text);
}

std::vector<TEditorShortcut> BuildTable() {
    using C = TEditorCommand;
    // Marker letters: A(udio) start and F(im) of the audio, I(ntrodução), R(efrão) with T
    // beside it for its end, M(ixagem), C(arimbo), cO(mentário), D(etectar). The previews run
    // in the order of the song: 1 intro, 2 chorus, 3 the final segue (the numeric pad too).
    return {
        {C::PlaceAudioStart, {T("A")}, T("Marcar início do áudio")},
        {C::PlaceIntro, {T("I")}, T("Marcar introdução")},
        {C::PlaceChorusStart, {T("R")}, T("Marcar início do refrão")},
        {C::PlaceChorusEnd, {T("T")}, T("Marcar fim do refrão")},
        {C::PlaceAudioEnd, {T("F")}, T("Marcar fim do áudio")},
        {C::PlaceMixPoint, {T("M")}, T("Marcar ponto de mixagem")},
        {C::PlaceStamp, {T("C")}, T("Inserir carimbo")},
        {C::OpenComment, {T("O")}, T("Inserir comentário")},
        {C::DetectMarkers, {T("D")}, T("Detectar marcações")},
        {C::RemoveAudioStart, {T("Shift+A")}, T("Remover início do áudio")},
        {C::RemoveIntro, {T("Shift+I")}, T("Remover introdução")},
        {C::RemoveChorusStart, {T("Shift+R")}, T("Remover início do refrão")},
        {C::RemoveChorusEnd, {T("Shift+T")}, T("Remover fim do refrão")},
        {C::RemoveAudioEnd, {T("Shift+F")}, T("Remover fim do áudio")},
        {C::RemoveMixPoint, {T("Shift+M")}, T("Remover ponto de mixagem")},
        {C::RemoveStamp, {T("Shift+C")}, T("Remover carimbo")},
        {C::RemoveComment, {T("Shift+O")}, T("Remover comentário")},
        {C::RemoveAll, {T("Ctrl+Del")}, T("Remover todos os marcadores")},
        {C::PlayIntro, {T("1"), T("Num+1")}, T("Tocar introdução")},
        {C::PlayChorus, {T("2"), T("Num+2")}, T("Tocar refrão")},
        {C::PlayFinal, {T("3"), T("Num+3")}, T("Tocar final")},
        {C::PlayPause,
         {T("Space")},
         T("Tocar / pausar a partir da seleção (na forma de onda)"),
         false},
        {C::Stop, {T("Esc")}, T("Parar execução do áudio")},
        {C::Save, {T("Ctrl+S")}, T("Gravar marcações")},
        {C::Undo, {T("Ctrl+Z")}, T("Desfazer")},
        {C::Redo, {T("Ctrl+Shift+Z"), T("Ctrl+Y")}, T("Refazer")},
        {C::CancelEdits, {T("F5")}, T("Cancelar marcações (recarregar do arquivo)")},
        {C::ShowAll, {T("0"), T("Num+0")}, T("Mostrar tudo")},
        {C::ResetSelection, {T("Ctrl+A")}, T("Remover seleção")},
        {C::ToggleMoveMode, {T("H")}, T("Mover / marcar ondas do áudio")},
        {C::ToggleScrollWhilePlaying, {T("S")}, T("Scroll tocando")},
        {C::ScrollStep, {T("Left"), T("Right")}, T("Rolar um passo (na forma de onda)"), false},
        {C::ScrollPage, {T("PgUp"), T("PgDown")}, T("Rolar uma página (na forma de onda)"), false},
        {C::ScrollEnds,
         {T("Home"), T("End")},
         T("Ir ao início / ao fim (na forma de onda)"),
         false},
        {C::Zoom, {T("+"), T("-")}, T("Ampliar / reduzir zoom (na forma de onda)"), false},
        {C::ShowShortcuts, {T("F1")}, T("Atalhos")},
    };
}

} // namespace

const std::vector<TEditorShortcut>& EditorShortcuts() {
    static const std::vector<TEditorShortcut> table = BuildTable();
    return table;
}

std::optional<TEditorShortcut> EditorShortcut(TEditorCommand Command) {
    for (const TEditorShortcut& row : EditorShortcuts()) {
        if (row.Command == Command) {
            return row;
        }
    }
    return std::nullopt;
}

} // namespace tavrela
