// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// The open dialog's answer in its text form: empty when cancelled, one full
// path for a single file, or the folder followed by each chosen name, the
// pieces separated by NUL characters. The folder carries no trailing
// separator except at the root.

// The entry texts that a result text stands for, in the dialog's order.
// A single path is taken as it is; a folder and names are joined with one
// separator, and every doubled separator of the join is collapsed, except the
// two that open a network folder.
QStringList splitDialogSelection(const QString& result);

// The result text for the absolute paths a toolkit dialog returns, so that
// they go through the same split as any other answer.
QString dialogResultText(const QStringList& chosenPaths);
